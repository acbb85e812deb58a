// Conversion of one vCard file into one Windows Contacts .contact document per card: the card
// loop, the dispatch of lines, the document frame, the collections and the output files.
// Chains of + build each text in one allocation.
#define QT_USE_QSTRINGBUILDER
#include "kzmain/contacts_p.h"

#include "kzlex/propertyline.h"
#include "kzlex/unfoldahead.h"

#include <QScopeGuard>
#include <QStringEncoder>
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

void Run::TraitementSVCFToContact(LineList& TSLin) {
    InputLines lignes(TSLin, inputPasses(false), progress());
    ContactConversion conversion(*this);
    conversion.run(lignes);
}

void Run::TraitementSVCFToContact(InputText& texte) {
    InputLines lignes(texte, inputPasses(false), progress());
    ContactConversion conversion(*this);
    conversion.run(lignes);
}

ContactConversion::ContactConversion(Run& run) : P(run), O(run.options()), win(run.sink()) {}

void ContactConversion::ajoute(QString& buffer, int indent, std::initializer_list<QStringView> pieces) {
    // One growth of the buffer for the whole line, then the characters written in place.
    const qsizetype debut = buffer.size();
    const qsizetype blancs = qMax(indent, 0);
    qsizetype total = debut + blancs + 2;
    for (QStringView piece : pieces)
        total += piece.size();
    if (total > buffer.capacity())
        buffer.reserve(qMax(total, 2 * buffer.capacity()));
    buffer.resize(total);
    char16_t* out = reinterpret_cast<char16_t*>(buffer.data()) + debut;
    out = std::fill_n(out, blancs, u' ');
    for (QStringView piece : pieces)
        out = std::copy_n(piece.utf16(), piece.size(), out);
    out[0] = u'\r';
    out[1] = u'\n';
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
    }
    // A last card without its end line is not written; say so rather than lose it silently.
    if (carteOuverte)
        P.LogError(CardStructureError(ErrorText::CardNotEnded, O.NomFichierEntree, NoEnr + 1, ligneDebutCarte));
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
        P.LogError(CardStructureError(ErrorText::CardWithoutEnd, O.NomFichierEntree, numero, debut));
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
    if (total >= kDocumentEnParties) {
        documentEnParties();
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

void ContactConversion::documentEnParties() {
    // Each part is encoded after the last and let go at once: a picture or a note of hundreds of
    // megabytes is never held twice in UTF-16. The room asked for is only what UTF-8 may take;
    // the memory is used as it is written.
    QStringEncoder utf8(QStringEncoder::Utf8);
    qsizetype total = TSLOut.size() + 16;
    for (const TListeItems& item : ListeItems)
        total += item.L.size();
    documentUtf8 = QByteArray();
    documentUtf8.reserve(utf8.requiredSpace(total));
    auto encode = [&](QString& part) {
        const qsizetype avant = documentUtf8.size();
        documentUtf8.resize(avant + utf8.requiredSpace(part.size()));
        const char* fin = utf8.appendToBuffer(documentUtf8.data() + avant, part);
        documentUtf8.truncate(fin - documentUtf8.constData());
        part = QString();
    };
    encode(TSLOut);
    for (TListeItems& item : ListeItems) {
        if (item.B)
            encode(item.L);
        item.L = QString();
    }
    documentUtf8.append("</c:contact>\r\n");
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
    if (!documentUtf8.isNull()) {
        writer.writeReusing(NomFichierCourant, std::exchange(documentUtf8, QByteArray()));
        TSLOut = QString();
    } else {
        TSLOut = writer.writeUtf8Reusing(NomFichierCourant, std::move(TSLOut));
    }
    win.appendMemo(NomPrenom.isEmpty() ? QStringLiteral("NoName") : NomPrenom);
    viderCarte();
}
