// Windows Contacts conversion: what each vCard property line becomes, and the pictures (the
// card's own PHOTO and LOGO lines, and the files of the photos and logos folders).
// Chains of + build each text in one allocation.
#define QT_USE_QSTRINGBUILDER
#include "kzmain/contacts_p.h"

#include <string_view>
#include <utility>

namespace {

// Characters from U+0021 to U+007F other than "&", "<" and ">": picture data that every step
// below would leave as it is (base64 is made of them). A block at a time, without a branch per
// character (the compiler vectorises it): picture data is long.
bool donneesSimples(QStringView s) {
    // Outside U+0021..U+007F, "&", or one of "<" and ">" (the two differ by one bit). Sixteen-bit
    // arithmetic throughout, so that the compiler packs eight characters in a vector.
    auto autre = [](char16_t c) {
        const auto d = quint16(c - 0x21);
        return quint16((d > 0x5E) | (c == 0x26) | (quint16(c | 2) == 0x3E));
    };
    constexpr qsizetype kBlock = 64;
    const char16_t* p = s.utf16();
    const qsizetype n = s.size();
    qsizetype i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        quint16 bloc = 0;
        for (qsizetype j = i; j < i + kBlock; ++j)
            bloc |= autre(p[j]);
        if (bloc)
            return false;
    }
    quint16 reste = 0;
    for (; i < n; ++i)
        reste |= autre(p[i]);
    return reste == 0;
}

// Whether the parameter text holds `cle`: the parameters are a few words, where a plain search
// costs less than QString's.
bool contient(QStringView texte, QStringView cle) {
    return std::u16string_view(texte.utf16(), size_t(texte.size()))
               .find(std::u16string_view(cle.utf16(), size_t(cle.size()))) != std::u16string_view::npos;
}

// Whether the line holds "VALUE=uri", picture data included: only its "=" are looked at, and
// base64 data has them at its end at most.
bool valeurUri(QStringView ligne) {
    for (qsizetype at = ligne.indexOf(u'='); at >= 0; at = ligne.indexOf(u'=', at + 1))
        if (at >= 5 && ligne.sliced(at - 5).startsWith(u"VALUE=uri"))
            return true;
    return false;
}

// A picture value that names its place by its scheme (vCard 3.0 writers often leave VALUE=uri out).
bool adresseImage(QStringView valeur) {
    for (QStringView schema : {u"http:", u"https:", u"ftp:", u"file:"})
        if (valeur.startsWith(schema, Qt::CaseInsensitive))
            return true;
    return false;
}

// The data of a "data:" address that holds base64 ("data:image/jpeg;base64,/9j/..."): the text
// after its first ","; false for any other value.
bool donneesUriData(QStringView valeur, QStringView& donnees) {
    if (!valeur.startsWith(u"data:", Qt::CaseInsensitive))
        return false;
    const qsizetype virgule = valeur.indexOf(u',');
    if (virgule < 0 || !valeur.first(virgule).endsWith(u";base64", Qt::CaseInsensitive))
        return false;
    donnees = valeur.sliced(virgule + 1);
    return true;
}

// The text without the characters from U+0000 to U+0020: blanks, tabs and line ends that folded
// picture data carries (Apple exports fold it with two blanks).
QString sansBlancs(QStringView s) {
    QString out(s.size(), Qt::Uninitialized);
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    qsizetype k = 0;
    for (QChar c : s)
        if (c.unicode() > 0x20)
            d[k++] = c.unicode();
    out.truncate(k);
    return out;
}

// "&", "<" and ">" as entities: enough for text that does not go through the value escaping.
QString echappeBalises(QStringView s) {
    const char16_t* d = s.utf16();
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n && d[i] != u'&' && d[i] != u'<' && d[i] != u'>')
        ++i;
    if (i == n)
        return s.toString(); // nothing to escape, as in every base64 line
    QString out;
    out.reserve(n + 16);
    out.append(s.first(i));
    for (QChar c : s.sliced(i)) {
        if (c == u'&')
            out.append(u"&amp;");
        else if (c == u'<')
            out.append(u"&lt;");
        else if (c == u'>')
            out.append(u"&gt;");
        else
            out.append(c);
    }
    return out;
}

// Whether the text ends in a backslash that escapes nothing: an odd run of them (an even run
// is escaped backslashes).
bool finitParBarre(QStringView texte) {
    qsizetype barres = 0;
    while (barres < texte.size() && texte.at(texte.size() - 1 - barres) == u'\\')
        ++barres;
    return barres % 2;
}

// The value after the first colon of the line (the whole line when it has no colon); false
// when the line ends at that colon. A long line (a note of megabytes) gives its storage to the
// value, cut in place, rather than being copied: the line is not read again after its value.
bool valeurApresDeuxPoints(QString& ligne, QString& valeur) {
    constexpr qsizetype kLongue = qsizetype(1) << 20;
    const qsizetype J1 = ligne.indexOf(QLatin1Char(':')) + 1;
    if (ligne.size() <= J1)
        return false;
    if (ligne.size() < kLongue) {
        valeur = ligne.mid(J1);
        return true;
    }
    valeur = std::exchange(ligne, QString());
    valeur.remove(0, J1);
    return true;
}

} // namespace

void ContactConversion::logSyntaxe(Msg msg) {
    win.appendLog(Mess(O.language, msg) + ReDecodeUtf8(LEX.BUFFER));
}

bool ContactConversion::lireParametres(QString& S) {
    if (LEX.CH == u':') {
        S.clear();
        return false;
    }
    S = upperAscii(IDENTSEP(LEX, QLatin1Char(':')));
    return true;
}

QString ContactConversion::composante(QString* brute) {
    QString texte = IDENTSEP(LEX, QLatin1Char(';'));
    if (brute)
        *brute = texte;
    // Components are cut at every ";", a protected one too: "Dupont\;Martin" leaves "Dupont\",
    // whose last backslash escaped the ";" that became the cut. It is not written.
    if (LEX.T == CARACTERE && LEX.CH == u';' && finitParBarre(texte))
        texte.chop(1);
    return texte;
}

void ContactConversion::TraiteNom() {
    const qsizetype deuxPoints = LEX.BUFFER.indexOf(QLatin1Char(':'));
    if (deuxPoints < 0) {
        logSyntaxe(Msg::SyntaxName);
        return;
    }
    // The record keeps its character; the next field read steps over the colon.
    LEX.INDEX = deuxPoints + 1;
    // The card's name is made of the components as they stand.
    QString nom, prenom;
    const QString MonNom = composante(&nom);
    const QString MonPrenom = composante(&prenom);
    NomPrenom = NettoieNom(nom + QLatin1Char(' ') + prenom);
    const QString MonPrenomAdditionnel = composante();
    const QString MonTitre = composante();
    const QString MonSuffix = composante();
    if (MonNom.isEmpty() && MonPrenom.isEmpty() && MonPrenomAdditionnel.isEmpty() && MonTitre.isEmpty() &&
        MonSuffix.isEmpty())
        return;

    ListeItems[ItemNom].B = true;
    const int d = INDENT + 6;
    ajouteItem(ItemNom, INDENT + 3, {u"<c:Name c:ElementID=\"", nouvelId(), u"\">"});
    if (!MonTitre.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:Prefix>"}, MonTitre, {u"</c:Prefix>"});
    if (!MonPrenom.isEmpty() && !MonNom.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:FormattedName>"},
                     // A given name that ends in a lone backslash keeps it, as its own element does.
                     MonPrenom + QStringView(finitParBarre(MonPrenom) ? u"\\, " : u", ") + MonNom,
                     {u"</c:FormattedName>"});
    if (!MonNom.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:FamilyName>"}, MonNom, {u"</c:FamilyName>"});
    if (!MonPrenomAdditionnel.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:MiddleName>"}, MonPrenomAdditionnel, {u"</c:MiddleName>"});
    if (!MonPrenom.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:GivenName>"}, MonPrenom, {u"</c:GivenName>"});
    if (!MonSuffix.isEmpty())
        ajouteValeur(ItemNom, d, {u"<c:Suffix>"}, MonSuffix, {u"</c:Suffix>"});
    ajouteItem(ItemNom, INDENT + 3, u"</c:Name>");
}

void ContactConversion::TraiteFN() {
    // The formatted name only names the file, and only when N gave no name.
    if (!NomPrenom.isEmpty())
        return;
    const qsizetype deuxPoints = LEX.BUFFER.indexOf(QLatin1Char(':'));
    if (deuxPoints < 0)
        return;
    LEX.INDEX = deuxPoints + 1;
    NomPrenom = NettoieNom(IDENTSEP(LEX, QChar(0)));
}

void ContactConversion::TraiteTel() {
    QString TelType, TelLoc, S;
    ATTRIBUT = QStringLiteral("Voice");
    if (lireParametres(S)) {
        if (contient(S, u"WORK"))
            TelLoc = QStringLiteral("Business");
        else if (contient(S, u"HOME"))
            TelLoc = QStringLiteral("Personal");
        static const std::array<std::pair<QStringView, QStringView>, 7> kinds = {{
            {u"CELL", u"Cellular"},
            {u"FAX", u"Fax"},
            {u"ISDN", u"ISDN"},
            {u"PAGER", u"Pager"},
            {u"VIDEO", u"Video"},
            {u"BBS", u"BBS"},
            {u"MODEM", u"Modem"},
        }};
        for (const auto& [cle, label] : kinds) {
            if (contient(S, cle)) {
                TelType = label.toString();
                break;
            }
        }
        if (contient(S, u"PREF"))
            ATTRIBUT = QStringLiteral("Preferred");
    }
    QString MonTel = IDENTSEP(LEX, QChar(0));
    // vCard 4.0 writes numbers as addresses: TEL;VALUE=uri:tel:+1-555.
    if (MonTel.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        MonTel.remove(0, 4);
    if (MonTel.isEmpty()) {
        logSyntaxe(Msg::SyntaxTel);
        return;
    }
    ListeItems[ItemTel].B = true;
    ajouteItem(ItemTel, INDENT + 3, {u"<c:PhoneNumber c:ElementID=\"", nouvelId(), u"\">"});
    ajouteValeur(ItemTel, INDENT + 6, {u"<c:Number>"}, MonTel, {u"</c:Number>"});
    ajouteItem(ItemTel, INDENT + 6, u"<c:LabelCollection>");
    for (const QString* label : {&TelType, &ATTRIBUT, &TelLoc})
        if (!label->isEmpty())
            ajouteItem(ItemTel, INDENT + 9, {u"<c:Label>", *label, u"</c:Label>"});
    ajouteItem(ItemTel, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemTel, INDENT + 3, u"</c:PhoneNumber>");
}

void ContactConversion::TraiteAdr() {
    QString S;
    ATTRIBUT = QStringLiteral("Other");
    if (lireParametres(S)) {
        if (contient(S, u"WORK"))
            ATTRIBUT = QStringLiteral("Business");
        else if (contient(S, u"HOME"))
            ATTRIBUT = QStringLiteral("Personal");
    }
    const QString MaPo = composante();
    const QString MonAdresseEtendue = composante();
    const QString MaRue = composante();
    const QString MaVille = composante();
    const QString MaRegion = composante();
    const QString MonCode = composante();
    const QString MonPays = composante();
    // Written in this order, which is not the vCard order.
    const std::array<std::pair<QStringView, const QString*>, 7> parties = {{
        {u"Country", &MonPays},
        {u"PostalCode", &MonCode},
        {u"Locality", &MaVille},
        {u"Street", &MaRue},
        {u"Region", &MaRegion},
        {u"POBox", &MaPo},
        {u"ExtendedAddress", &MonAdresseEtendue},
    }};
    bool vide = true;
    for (const auto& partie : parties)
        vide = vide && partie.second->isEmpty();
    if (vide) {
        logSyntaxe(Msg::SyntaxAdr);
        return;
    }
    ListeItems[ItemAdrPhy].B = true;
    ajouteItem(ItemAdrPhy, INDENT + 3, {u"<c:PhysicalAddress c:ElementID=\"", nouvelId(), u"\">"});
    for (const auto& [balise, valeur] : parties)
        if (!valeur->isEmpty())
            ajouteValeur(ItemAdrPhy, INDENT + 6, {u"<c:", balise, u">"}, *valeur, {u"</c:", balise, u">"});
    ajouteItem(ItemAdrPhy, INDENT + 6, u"<c:LabelCollection>");
    ajouteItem(ItemAdrPhy, INDENT + 9, {u"<c:Label>", ATTRIBUT, u"</c:Label>"});
    ajouteItem(ItemAdrPhy, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemAdrPhy, INDENT + 3, u"</c:PhysicalAddress>");
}

void ContactConversion::TraiteEmail() {
    QString S;
    ATTRIBUT.clear();
    if (lireParametres(S)) {
        // Three tests, each overriding the one before: HOME wins over WORK, PREF over both.
        if (contient(S, u"WORK"))
            ATTRIBUT = QStringLiteral("Business");
        if (contient(S, u"HOME"))
            ATTRIBUT = QStringLiteral("Personal");
        if (contient(S, u"PREF"))
            ATTRIBUT = QStringLiteral("Preferred");
    }
    const QString MonEmail = IDENTSEP(LEX, QChar(0));
    if (MonEmail.isEmpty()) {
        logSyntaxe(Msg::SyntaxEmail);
        return;
    }
    ListeItems[ItemEmail].B = true;
    ajouteItem(ItemEmail, INDENT + 3, {u"<c:EmailAddress c:ElementID=\"", nouvelId(), u"\">"});
    ajouteItem(ItemEmail, INDENT + 6, u"<c:Type>SMTP</c:Type>");
    ajouteValeur(ItemEmail, INDENT + 6, {u"<c:Address>"}, MonEmail, {u"</c:Address>"});
    if (!ATTRIBUT.isEmpty()) {
        ajouteItem(ItemEmail, INDENT + 6, u"<c:LabelCollection>");
        ajouteItem(ItemEmail, INDENT + 9, {u"<c:Label>", ATTRIBUT, u"</c:Label>"});
        ajouteItem(ItemEmail, INDENT + 6, u"</c:LabelCollection>");
    }
    ajouteItem(ItemEmail, INDENT + 3, u"</c:EmailAddress>");
}

void ContactConversion::TraiteUrl() {
    QString S;
    ATTRIBUT = QStringLiteral("Business");
    if (lireParametres(S)) {
        if (contient(S, u"WORK"))
            ATTRIBUT = QStringLiteral("Business");
        else if (contient(S, u"HOME"))
            ATTRIBUT = QStringLiteral("Personal");
    }
    // The rest of the line, the address's own colons included.
    const QString MonUrl = IDENTSEP(LEX, QChar(0));
    if (MonUrl.isEmpty()) {
        logSyntaxe(Msg::SyntaxUrl);
        return;
    }
    ListeItems[ItemURL].B = true;
    ajouteItem(ItemURL, INDENT + 3, {u"<c:Url c:ElementID=\"", nouvelId(), u"\">"});
    ajouteValeur(ItemURL, INDENT + 6, {u"<c:Value>"}, MonUrl, {u"</c:Value>"});
    ajouteItem(ItemURL, INDENT + 6, u"<c:LabelCollection>");
    ajouteItem(ItemURL, INDENT + 9, {u"<c:Label>", ATTRIBUT, u"</c:Label>"});
    ajouteItem(ItemURL, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemURL, INDENT + 3, u"</c:Url>");
}

void ContactConversion::TraiteNote() {
    QString valeur;
    if (!valeurApresDeuxPoints(LEX.BUFFER, valeur))
        return;
    // Notes go straight into the document, each in its own element, text on a line of its own.
    ajoute(TSLOut, INDENT, u"<c:Notes>");
    ajouteValeur(TamponDocument, 0, {}, std::move(valeur), {});
    ajoute(TSLOut, INDENT, u"</c:Notes>");
}

void ContactConversion::TraiteTitre() {
    QString valeur;
    if (!valeurApresDeuxPoints(LEX.BUFFER, valeur))
        return;
    ListeItems[ItemPosition].B = true;
    ajouteValeur(ItemPosition, INDENT + 6, {u"<c:JobTitle>"}, valeur, {u"</c:JobTitle>"});
}

void ContactConversion::TraiteOrg() {
    QString valeur;
    if (!valeurApresDeuxPoints(LEX.BUFFER, valeur))
        return;
    ListeItems[ItemPosition].B = true;
    // The whole value, organisational units and their semicolons included.
    MonOrganisation = NettoieNom(valeur);
    ajouteValeur(ItemPosition, INDENT + 6, {u"<c:Company>"}, valeur, {u"</c:Company>"});
}

void ContactConversion::TraiteAnniversaire() {
    QString valeur;
    if (!valeurApresDeuxPoints(LEX.BUFFER, valeur))
        return;
    ListeItems[ItemDate].B = true;
    ajouteItem(ItemDate, INDENT + 3, {u"<c:Date c:ElementID=\"", nouvelId(), u"\">"});
    ajouteValeur(ItemDate, INDENT + 6, {u"<c:Value>"}, valeur, {u"</c:Value>"});
    ajouteItem(ItemDate, INDENT + 6, u"<c:LabelCollection>");
    ajouteItem(ItemDate, INDENT + 9, u"<c:Label>Birthday</c:Label>");
    ajouteItem(ItemDate, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemDate, INDENT + 3, u"</c:Date>");
}

void ContactConversion::TraiteAutre() {
    QString& nom = nomTag;
    if (!IDENTIFICATEUR(LEX, nom))
        return; // no identifier: dropped silently
    static const std::array<QStringView, 7> ignores = {u"VERSION", u"CATEGORIES", u"FLAG", u"LANG",
                                                       u"GEO",     u"PRODID",     u"SOUND"};
    for (QStringView i : ignores)
        if (nom == i)
            return;
    if (nom == u"X" && SEPARATEUR(LEX, u"-"))
        return; // vendor extension
    // The same first line for every unknown tag of a card: made once per card.
    if (tagInconnuCarte != NoEnr || tagInconnu.isNull()) {
        tagInconnuCarte = NoEnr;
        tagInconnu =
            Mess(O.language, Msg::UnknownTag) + QStringLiteral(" (") + QString::number(NoEnr + 1) + QLatin1Char(')');
    }
    win.appendLogNotice(tagInconnu);
    win.appendLogNotice(ReDecodeUtf8(LEX.BUFFER));
}

void ContactConversion::TraitementPhoto(const QString& TYPEPHOTO, const QString& BUFFER) {
    const qsizetype J1 = BUFFER.indexOf(QLatin1Char(':')) + 1;
    if (BUFFER.size() <= J1)
        return;
    QStringView brute = QStringView(BUFFER).sliced(J1);
    // Embedded data given as a data: address is embedded data, whatever VALUE says.
    const bool donneesData = donneesUriData(brute, brute);
    const bool reference = !donneesData && (valeurUri(BUFFER) || adresseImage(brute));
    ATTRIBUT = TYPEPHOTO == u"PHOTO" ? QStringLiteral("UserTile") : QStringLiteral("Logo");
    // A card keeps its first user picture and its first logo.
    bool& deja = TYPEPHOTO == u"PHOTO" ? BPhotoUser : BPhotoLogo;
    if (deja)
        return;
    deja = true;
    ListeItems[ItemPhoto].B = true;
    ajouteItem(ItemPhoto, INDENT + 3, {u"<c:Photo c:ElementID=\"", nouvelId(), u"\">"});

    if (!reference) {
        ajouteItem(ItemPhoto, INDENT + 6, u"<c:Value c:ContentType=\"image/jpeg\">");
        // Base64 lines: blanks and line ends removed, padded to a multiple of four, 78 characters
        // a line. Plain data, as base64 mostly is, is cut from the line as it stands.
        QString D;
        const bool simple = donneesSimples(brute);
        // ASCII loses nothing but blanks and controls, taken from the line without a copy of it.
        if (!simple)
            D = asciiRunLength(brute) == brute.size() ? sansBlancs(brute)
                                                      : sansBlancs(withoutXmlForbidden(ReDecodeUtf8(brute.toString())));
        const QStringView donnees = simple ? brute : QStringView(D);
        const bool brut = simple || (!D.contains(u'&') && !D.contains(u'<') && !D.contains(u'>'));
        QString& L = ListeItems[ItemPhoto].L;
        L.reserve(L.size() + qMin(donnees.size() + donnees.size() / 78 * 2 + 6, kDebordement + 80));
        auto lignes = [&](QStringView texte) {
            for (qsizetype i = 0; i < texte.size(); i += 78) {
                const QStringView morceau = texte.mid(i, 78);
                if (brut)
                    ajoute(L, 0, morceau);
                else
                    ajoute(L, 0, echappeBalises(morceau));
                if (L.size() >= kDebordement)
                    deborder();
            }
        };
        // The padding goes to the last line: only that part is copied.
        const qsizetype bourrage = (4 - donnees.size() % 4) % 4;
        const qsizetype entieres = bourrage == 0 ? donnees.size() : donnees.size() / 78 * 78;
        lignes(donnees.first(entieres));
        if (bourrage != 0)
            lignes(QString(donnees.sliced(entieres) + QString(bourrage, QLatin1Char('='))));
        ajouteItem(ItemPhoto, INDENT + 6, u"</c:Value>");
    } else {
        ajouteItem(ItemPhoto, INDENT + 6,
                   {u"<c:Url>", echappeBalises(withoutXmlForbidden(ReDecodeUtf8(brute.toString()))), u"</c:Url>"});
    }
    ajouteItem(ItemPhoto, INDENT + 6, u"<c:LabelCollection>");
    ajouteItem(ItemPhoto, INDENT + 9, {u"<c:Label>", ATTRIBUT, u"</c:Label>"});
    ajouteItem(ItemPhoto, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemPhoto, INDENT + 3, u"</c:Photo>");
}

void ContactConversion::RecherchePhoto(bool coche, PictureFolder& dossier, const QString& nom, bool dejaFaite,
                                       const QString& type) {
    // The card's own picture wins over the folder's.
    if (!coche || nom.isEmpty() || dejaFaite)
        return;
    try {
        const QString fichier = dossier.find(nom + QStringLiteral(".jpg"));
        if (fichier.isEmpty())
            return;
        QByteArray Photo;
        const bool lue = EncodeFile(fichier, Photo, O.files);
        TraitementPhoto(type, QLatin1Char(':') + QString::fromLatin1(Photo));
        if (lue)
            ++P.counts().picturesCopied;
    } catch (const KzError& e) {
        P.LogError(e, true);
    }
}
