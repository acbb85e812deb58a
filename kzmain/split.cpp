// Splitting one VCF file into one VCF file per card, named after a running number and the
// contact's name or organisation.
// Chains of + build each text in one allocation.
#define QT_USE_QSTRINGBUILDER
#include "kzmain/cardscan.h"
#include "kzmain/runwriter.h"

namespace {

// The values of the card being built.
struct CarteSplit {
    // Its lines: encoded as they come, so the line read next reuses the same storage; the
    // MyPhoneExplorer output pass works on lines, so with it they are all kept in TSLOut.
    // Pictures and the end line always go to TSLOut, after the encoded ones.
    QByteArray octets;
    LineList TSLOut;
    QString NomPrenom;
    QString MonOrganisation;
    bool PhotoUser = false;
    bool PhotoLogo = false;
    qsizetype ligneDebut = 0; // input line (from 1) of its BEGIN:VCARD
};

} // namespace

void Run::TraitementSVCFToMVCF(LineList& TSLin) {
    InputLines lignes(TSLin, inputPasses(true), progress());
    TraitementSVCFToMVCF(lignes);
}

void Run::TraitementSVCFToMVCF(InputText& texte) {
    InputLines lignes(texte, inputPasses(true), progress());
    TraitementSVCFToMVCF(lignes);
}

void Run::TraitementSVCFToMVCF(InputLines& TSLin) {
    WindowInterface& win = window();

    // The option boxes are locked while a run is under way: read them once.
    const bool optTagX = O.dropX;
    const bool optPhoto = O.photos;
    const bool optLogos = O.logos;
    const bool optMyPhoneOut = O.myPhoneOut;

    // The run stops at the first file that cannot be written.
    RunWriter writer(*this, FileWriter::OnFailure::Drop);
    TETAT ETAT = E_HorsCarte;
    CarteSplit carte;
    quint64 NoEnr = 0;
    QByteArray Photo;

    auto finCarte = [&]() {
        if (!carte.PhotoUser && !carte.NomPrenom.isEmpty() && optPhoto) {
            if (AjouterImage(*this, m_photos, carte.NomPrenom + QStringLiteral(".jpg"), TetePhoto(), carte.TSLOut,
                             Photo))
                carte.PhotoUser = !Photo.isEmpty();
        }
        if (!carte.PhotoLogo && !carte.MonOrganisation.isEmpty() && optLogos) {
            if (AjouterImage(*this, m_logos, QStringLiteral("logo_") + carte.MonOrganisation + QStringLiteral(".jpg"),
                             TeteLogo(), carte.TSLOut, Photo))
                carte.PhotoLogo = !Photo.isEmpty();
        }
        carte.TSLOut.append(QStringLiteral("END:VCARD"));
        ++NoEnr;
        win.setCompteur(Zeros5(NoEnr));

        if (carte.NomPrenom.isEmpty())
            carte.NomPrenom = carte.MonOrganisation;
        // "00003 Dupont Jean (PHOTO).VCF"; a card without name or organisation keeps the blank: "00004 .VCF".
        const QString NomFichierCourant =
            JoinPath(O.NomRepSortie, Zeros5(NoEnr) + u' ' + carte.NomPrenom +
                                         (carte.PhotoUser || carte.PhotoLogo ? QStringLiteral(" (PHOTO)") : QString()) +
                                         QStringLiteral(".VCF"));
        if (optMyPhoneOut)
            PostTraitementMyPhone(carte.TSLOut);
        carte.TSLOut.appendBytes(carte.octets, 0, carte.TSLOut.size());
        const qsizetype taille = carte.octets.size();
        writer.write(NomFichierCourant, std::move(carte.octets));
        carte = CarteSplit();
        carte.octets = writer.spareBytes();
        carte.octets.reserve(taille); // the next card is likely of a similar size
        ETAT = E_HorsCarte;
    };

    auto garderLigne = [&](QStringView ligne) {
        if (optMyPhoneOut)
            carte.TSLOut.append(ligne.toString());
        else
            LineList::appendAnsiLine(carte.octets, ligne);
    };
    bool carteVue = false;
    auto debutCarte = [&](qsizetype I) {
        garderLigne(LEX.BUFFER);
        carte.ligneDebut = I + 1;
        carteVue = true;
        ETAT = E_DansCarte;
    };
    LecteurNoms noms(!TSLin.readThroughMark());
    qsizetype I = 0;
    // The lines that a name line takes as its own, counted as the loop counts them.
    struct {
        InputLines& lignes;
        qsizetype& I;
        bool next(QString& ligne) {
            if (!lignes.next(ligne))
                return false;
            ++I;
            return true;
        }
        void putBack(QString ligne) {
            lignes.putBack(std::move(ligne));
            --I;
        }
    } source{TSLin, I};

    for (;; ++I) {
        // A line that no pass changes, that no soft line break may continue and that begins with
        // none of the letters of the lines looked at below (BEGIN outside a card; BEGIN, END, N,
        // ORG, PHOTO, LOGO, X- inside) is dropped outside a card, or kept as the bytes it was
        // read from: the same bytes. So is a vendor line inside a card, dropped or kept as the
        // option says.
        if (const QByteArrayView* brut = optMyPhoneOut ? nullptr : TSLin.peekPlain(); brut && !finitParEgal(*brut)) {
            const bool autre = !commenceParUneDe(*brut, ETAT == E_HorsCarte ? "b" : "benoplx");
            if (autre || (ETAT == E_DansCarte && ligneX(*brut))) {
                LaisserEvenements();
                TSLin.skip();
                if (ETAT == E_DansCarte && (autre || !optTagX))
                    if (const QByteArrayView garde = sansBlancsFinaux(*brut); !garde.isEmpty())
                        LineList::appendEncodedLine(carte.octets, garde);
                continue;
            }
        }
        if (!TSLin.next(LEX.BUFFER))
            break;
        LaisserEvenements();
        DEBUTANALYSE(LEX);

        if (ETAT == E_HorsCarte) {
            if (LigneDebutCarte(LEX))
                debutCarte(I);
            continue;
        }
        if (LigneFinCarte(LEX)) {
            finCarte();
            continue;
        }
        // A new card while one is open: the open card ends first, so each file holds one card.
        // The test runs on a scan of its own; the property tests below see the record as the
        // end-line test left it.
        {
            // The line was trimmed by the first scan already: only the reading position needs keeping.
            const qsizetype index = LEX.INDEX;
            const QChar ch = LEX.CH, cl = LEX.CL;
            const TYPLEX t = LEX.T;
            DEBUTANALYSE(LEX);
            if (LigneDebutCarte(LEX)) {
                const quint64 numero = NoEnr + 1;
                const qsizetype debut = carte.ligneDebut;
                finCarte();
                LogError(CardStructureError(
                    QStringLiteral("\"%1\": card %2, begun at line %3, has no END:VCARD line; it was ended at the "
                                   "BEGIN:VCARD of line %4")
                        .arg(O.NomFichierEntree, QString::number(numero), QString::number(debut),
                             QString::number(I + 1))));
                debutCarte(I);
                continue;
            }
            LEX.INDEX = index;
            LEX.CH = ch;
            LEX.CL = cl;
            LEX.T = t;
        }

        bool garder = true;
        bool suites = false; // the name line took the lines after it
        if (LigneNom(LEX)) {
            LECTYPE& lu = noms.lecture(LEX, source, LigneNom);
            suites = true;
            LireNom(lu, carte.NomPrenom);
            win.appendMemo(carte.NomPrenom.isEmpty() ? QStringLiteral("NoName") : carte.NomPrenom);
        } else if (IDENTPATERN(LEX, u"ORG")) {
            LECTYPE& lu = noms.lecture(LEX, source, [](LECTYPE& l) { return IDENTPATERN(l, u"ORG"); });
            suites = true;
            // The first colon from the fourth character on; the first component is the organisation.
            lu.INDEX = lu.BUFFER.indexOf(u':', 3) + 1;
            carte.MonOrganisation = NettoieNom(IDENTSEP(lu, u';'));
        } else {
            if (IDENTPATERN(LEX, u"PHOTO"))
                carte.PhotoUser = true;
            else if (IDENTPATERN(LEX, u"LOGO"))
                carte.PhotoLogo = true;
            else if (optTagX && IDENTPATERN(LEX, u"X") && SEPARATEUR(LEX, u"-"))
                garder = false;
            noms.suitesDouces(LEX.BUFFER, source);
            suites = true;
        }
        if (garder && !LEX.BUFFER.isEmpty())
            garderLigne(LEX.BUFFER);
        if (suites && garder)
            for (const QString& suite : noms.suites())
                if (const QStringView garde = sansBlancsFinaux(suite); !garde.isEmpty())
                    garderLigne(garde);
    }

    // A last card without its end line is not written; say so rather than lose it silently.
    if (ETAT == E_DansCarte)
        LogError(CardStructureError(
            QStringLiteral("\"%1\": card %2, begun at line %3, has no END:VCARD line before the end of the file; "
                           "it was not written")
                .arg(O.NomFichierEntree, QString::number(NoEnr + 1), QString::number(carte.ligneDebut))));

    writer.finish();
    if (!carteVue)
        LogError(NoCardError(O.NomFichierEntree));
    m_report.cards = qint64(NoEnr);
    finConversion();
}
