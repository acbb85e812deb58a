// Conversion of one vCard file into one Windows Contacts .contact document per card: the card
// loop, the dispatch of lines, the document frame, the collections and the output files.
// Chains of + build each text in one allocation.
#define QT_USE_QSTRINGBUILDER
#include "kzmain/contacts_p.h"

#include "kzlex/propertyline.h"
#include "kzlex/unfoldahead.h"

#include <QScopeGuard>
#include <QVarLengthArray>
#include <algorithm>

namespace {

// Start and end tags of the eight collections, in TItems order.
constexpr std::array<QStringView, ItemCount> CollectionTags = {
    u"NameCollection",  u"PhoneNumberCollection", u"DateCollection", u"PhysicalAddressCollection",
    u"PhotoCollection", u"PositionCollection",    u"UrlCollection",  u"EmailAddressCollection",
};

constexpr QStringView Declaration = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
// Two blanks before the MSP2P declaration, as Windows Contacts writes it.
constexpr QStringView RootTag = u"<c:contact c:Version=\"1\" xmlns:c=\"http://schemas.microsoft.com/Contact\" "
                                u"xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"  "
                                u"xmlns:MSP2P=\"http://schemas.microsoft.com/Contact/Extended/MSP2P\">";

} // namespace

QString TabIndent(int Indent) {
    return Indent > 0 ? QString(Indent, QLatin1Char(' ')) : QString();
}

void Run::TraitementSVCFToContact(InputText& texte) {
    InputLines lignes(texte, inputPasses(false), progress());
    ContactConversion conversion(*this);
    conversion.run(lignes);
}

ContactConversion::ContactConversion(Run& run) : P(run), O(run.options()), win(run.sink()) {}

void ContactConversion::ajoute(QString& buffer, int indent, const QStringView* debut, const QStringView* fin) {
    // One growth of the buffer for the whole line, then the characters written in place.
    const qsizetype avant = buffer.size();
    const qsizetype blancs = qMax(indent, 0);
    qsizetype total = avant + blancs + 2;
    for (const QStringView* piece = debut; piece != fin; ++piece)
        total += piece->size();
    if (total > buffer.capacity())
        buffer.reserve(qMax(total, 2 * buffer.capacity()));
    buffer.resize(total);
    char16_t* out = reinterpret_cast<char16_t*>(buffer.data()) + avant;
    out = std::fill_n(out, blancs, u' ');
    for (const QStringView* piece = debut; piece != fin; ++piece)
        out = std::copy_n(piece->utf16(), piece->size(), out);
    out[0] = u'\r';
    out[1] = u'\n';
}

void ContactConversion::ajouteValeur(int t, int indent, std::initializer_list<QStringView> avant, QString valeur,
                                     std::initializer_list<QStringView> apres) {
    constexpr qsizetype kGrande = qsizetype(1) << 18;
    QVarLengthArray<QStringView, 8> pieces(avant.begin(), avant.end());
    if (valeur.size() < kGrande) {
        const QString texte = TraiteLigneContact(valeur);
        pieces.append(texte);
        for (QStringView piece : apres)
            pieces.append(piece);
        ajoute(tampon(t), indent, pieces.cbegin(), pieces.cend());
        return;
    }
    QString& buffer = tampon(t);
    buffer.append(TabIndent(indent));
    for (QStringView piece : avant)
        buffer.append(piece);
    TraiteLigneContact(std::move(valeur), [&](QStringView bloc) {
        buffer.append(bloc);
        if (buffer.size() >= kDebordement)
            deborder();
    });
    for (QStringView piece : apres)
        buffer.append(piece);
    buffer.append(u"\r\n");
}

void ContactConversion::deborder() {
    deborde = true;
    for (int i = 0; i <= ItemCount; ++i) {
        QString& buffer = tampon(i);
        if (buffer.isEmpty())
            continue;
        std::unique_ptr<StreamedFile>& fichier = debordes[i];
        if (!fichier)
            fichier = std::make_unique<StreamedFile>(O.NomRepSortie);
        // A high surrogate stays for its pair, which the next block brings.
        const bool garde = QChar::isHighSurrogate(buffer.back().unicode());
        const QChar dernier = buffer.back();
        fichier->append(QStringView(buffer).chopped(garde ? 1 : 0));
        buffer.truncate(0);
        if (garde)
            buffer.append(dernier);
    }
}

void ContactConversion::run(InputLines& TSLin) {
    // The report counts the cards done, also when the run stops or fails on the way.
    const auto compte = qScopeGuard([this] { P.counts().cards = NoEnr; });
    // The input is decoded, passed and unfolded on another thread, ahead of this one. There each
    // line loses its group prefix and has its value decoded (quoted-printable, CHARSET). A vendor
    // line (X-...) is dropped there: every step here would read its name as the identifier X and
    // a "-", and drop it without a word.
    ValueDecoder valeurs(!TSLin.readThroughMark());
    UnfoldAhead lignes(TSLin, [&valeurs](QString& texte, qsizetype debut) {
        PropertyLine::stripGroup(texte, debut);
        if (PropertyLine::isVendorLine(QStringView(texte).sliced(debut)))
            return false;
        valeurs.decode(texte, debut);
        return true;
    });
    for (qsizetype numero = 0; lignes.next(LEX.BUFFER, numero);) {
        P.VerifierArret(numero);
        ligneCourante = numero;
        DEBUTANALYSE(LEX);
        dispatch();
        qsizetype taille = TSLOut.size();
        for (const TListeItems& item : ListeItems)
            taille += item.L.size();
        if (taille >= kDebordement)
            deborder();
    }
    // A last card without its end line is not written; say so rather than lose it silently.
    if (carteOuverte)
        P.LogError(CardStructureError(Msg::CardNotEnded, O.NomFichierEntree, NoEnr + 1, ligneDebutCarte));
    viderCarte();
    carteOuverte = false;
    writer.finish();
    if (!carteVue)
        P.LogError(NoCardError(O.NomFichierEntree));
    P.finConversion();
}

void ContactConversion::dispatch() {
    // A keyword test looks further only when the identifier begins with the keyword's letter,
    // read again whenever a test has moved the reading position.
    qsizetype vuIndex = -1;
    TYPLEX vuT = FINLIGNE;
    QChar vuCH;
    char16_t lettre = 0;
    auto mot = [&](QStringView motCle) {
        if (LEX.INDEX != vuIndex || LEX.T != vuT || LEX.CH != vuCH) {
            vuIndex = LEX.INDEX;
            vuT = LEX.T;
            vuCH = LEX.CH;
            lettre = DEBUTIDENT(LEX);
        }
        return motCle.front() == lettre && IDENTPATERN(LEX, motCle);
    };
    // One shared scan: a chain whose first steps succeed leaves the record after them, and the
    // later tests start from there (BEGIN:VCALENDAR ends as the unknown tag VCALENDAR).
    if (mot(u"PHOTO"))
        TraitementPhoto(QStringLiteral("PHOTO"), LEX.BUFFER);
    else if (mot(u"LOGO"))
        TraitementPhoto(QStringLiteral("LOGO"), LEX.BUFFER);
    else if (mot(u"BEGIN") && SEPARATEUR(LEX, u":") && mot(u"VCARD"))
        debutCarte();
    else if (mot(u"END") && SEPARATEUR(LEX, u":") && mot(u"VCARD"))
        finCarte();
    else if (mot(u"N") && (SEPARATEUR(LEX, u";") || SEPARATEUR(LEX, u":")))
        TraiteNom();
    else if (mot(u"URL"))
        TraiteUrl();
    else if (mot(u"TEL"))
        TraiteTel();
    else if (mot(u"ADR"))
        TraiteAdr();
    else if (mot(u"EMAIL"))
        TraiteEmail();
    else if (mot(u"NOTE"))
        TraiteNote();
    else if (mot(u"TITLE"))
        TraiteTitre();
    else if (mot(u"FN"))
        TraiteFN();
    else if (mot(u"BDAY"))
        TraiteAnniversaire();
    else if (mot(u"ORG"))
        TraiteOrg();
    else
        TraiteAutre();
}

void ContactConversion::viderCarte() {
    // Emptied but kept allocated: the next card fills the same buffers.
    TSLOut.truncate(0);
    for (TListeItems& item : ListeItems) {
        item.L.truncate(0);
        item.B = false;
    }
    NomPrenom.clear();
    MonOrganisation.clear();
    BPhotoUser = false;
    BPhotoLogo = false;
    INDENT = 0;
    for (std::unique_ptr<StreamedFile>& fichier : debordes)
        fichier.reset();
    documentComplet.reset();
    deborde = false;
}

QString ContactConversion::ligneDateCreation() {
    const QDateTime t = P.DateCreation();
    const qint64 secondes = t.toSecsSinceEpoch();
    if (dateLigne.isNull() || secondes != dateSecondes) {
        dateSecondes = secondes;
        dateLigne = QStringLiteral("<c:CreationDate>") + t.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
                    QStringLiteral("Z</c:CreationDate>");
    }
    return dateLigne;
}

void ContactConversion::debutCarte() {
    if (carteOuverte) {
        // The open card has no END:VCARD line: write it as its end line would, then say so.
        const qsizetype debut = ligneDebutCarte;
        const qint64 numero = NoEnr + 1;
        finCarte();
        P.LogError(CardStructureError(Msg::CardWithoutEnd, O.NomFichierEntree, numero, debut));
    }
    // Whatever lines outside a card left behind belongs to no card.
    viderCarte();
    carteOuverte = true;
    carteVue = true;
    ligneDebutCarte = ligneCourante;

    ajoute(TSLOut, 0, Declaration);
    ajoute(TSLOut, 0, RootTag);
    INDENT = 3;
    ajoute(TSLOut, INDENT, u"<c:Gender>Unspecified</c:Gender>");
    ajoute(TSLOut, INDENT, ligneDateCreation());
    ajoute(TSLOut, INDENT, u"<c:Extended xsi:nil=\"true\"/>");
    ajoute(TSLOut, INDENT, u"<c:ContactIDCollection>");
    ajoute(TSLOut, INDENT + 3, {u"<c:ContactID c:ElementID=\"", nouvelId(), u"\">"});
    ajoute(TSLOut, INDENT + 6, {u"<c:Value>", nouvelId(), u"</c:Value>"});
    ajoute(TSLOut, INDENT + 3, u"</c:ContactID>");
    ajoute(TSLOut, INDENT, u"</c:ContactIDCollection>");
    ConvertContactInit();
}

void ContactConversion::ConvertContactInit() {
    for (int i = 0; i < ItemCount; ++i) {
        ListeItems[i].B = false;
        ajoute(ListeItems[i].L, INDENT, {u"<c:", CollectionTags[i], u">"});
    }
    ajouteItem(ItemPosition, INDENT + 3, {u"<c:Position c:ElementID=\"", nouvelId(), u"\">"});
}

void ContactConversion::ConvertContactFin() {
    ajouteItem(ItemEmail, INDENT + 3, {u"<c:EmailAddress c:ElementID=\"", nouvelId(), u"\" xsi:nil=\"true\"/>"});
    for (int i = 0; i < ItemCount; ++i)
        if (i != ItemPosition)
            ajoute(ListeItems[i].L, INDENT, {u"</c:", CollectionTags[i], u">"});
    ajouteItem(ItemPosition, INDENT + 6, u"<c:LabelCollection>");
    ajouteItem(ItemPosition, INDENT + 9, u"<c:Label>Business</c:Label>");
    ajouteItem(ItemPosition, INDENT + 6, u"</c:LabelCollection>");
    ajouteItem(ItemPosition, INDENT + 3, u"</c:Position>");
    ajouteItem(ItemPosition, INDENT, u"</c:PositionCollection>");
    qsizetype total = TSLOut.size();
    for (const TListeItems& item : ListeItems)
        total += item.B ? item.L.size() : 0;
    if (deborde || total >= kDebordement) {
        documentDeborde();
        return;
    }
    for (TListeItems& item : ListeItems) {
        if (item.B)
            TSLOut.append(item.L);
        item.L.truncate(0);
    }
    ajoute(TSLOut, 0, u"</c:contact>");
    INDENT = 0;
}

void ContactConversion::documentDeborde() {
    // The document's own file gets, in order, the rest of its buffer, then each collection of
    // the card: what went to the collection's file, then what is still in memory.
    deborder();
    std::unique_ptr<StreamedFile>& document = debordes[TamponDocument];
    if (!document)
        document = std::make_unique<StreamedFile>(O.NomRepSortie);
    for (int i = 0; i < ItemCount; ++i) {
        TListeItems& item = ListeItems[i];
        if (item.B && debordes[i])
            document->appendFrom(*debordes[i]);
        if (item.B)
            document->append(QStringView(item.L));
        debordes[i].reset();
        item.L.truncate(0);
    }
    document->append(QByteArrayView("</c:contact>\r\n"));
    documentComplet = std::move(document);
    INDENT = 0;
}

void ContactConversion::finCarte() {
    if (!carteOuverte)
        return; // an end line with no open card writes nothing
    carteOuverte = false;

    RecherchePhoto(O.photos, P.photos(), NomPrenom, BPhotoUser, QStringLiteral("PHOTO"));
    RecherchePhoto(O.logos, P.logos(), MonOrganisation, BPhotoLogo, QStringLiteral("LOGO"));
    ConvertContactFin();

    ++NoEnr;
    QString compteur = QString::number(NoEnr);
    if (compteur.size() < 5)
        compteur.prepend(QString(5 - compteur.size(), QLatin1Char('0')));
    P.montrerCompteur(qint64(NoEnr));

    if (NomPrenom.isEmpty())
        NomPrenom = MonOrganisation;
    const QString suffixe =
        (BPhotoUser || BPhotoLogo) ? QStringLiteral(" (PHOTO).contact") : QStringLiteral(".contact");
    // The name trimmed at its end ("00004.contact" without a name); shortened when too long.
    QString nom = compteur + QLatin1Char(' ') + NomPrenom;
    while (nom.back().unicode() <= 0x20)
        nom.chop(1);
    NomFichierCourant = JoinPath(O.NomRepSortie, FitFileName(nom, suffixe));

    // The document is real Unicode text: written as UTF-8, as its declaration says. It goes to
    // the writing thread whole (not shared), and the next card starts a buffer of the same size,
    // one that the writing thread is done with when there is one.
    if (documentComplet) {
        writer.place(NomFichierCourant, std::move(documentComplet));
    } else {
        TSLOut = writer.writeUtf8Reusing(NomFichierCourant, std::move(TSLOut));
    }
    win.appendMemo(NomPrenom.isEmpty() ? QStringLiteral("NoName") : NomPrenom);
    viderCarte();
}
