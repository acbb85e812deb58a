// Splitting one VCF file into one VCF file per card, named after a running number and the
// contact's name or organisation.
// Chains of + build each text in one allocation.
#define QT_USE_QSTRINGBUILDER
#include "kzmain/cardscan.h"
#include "kzmain/runwriter.h"

#include <QScopeGuard>

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

// One run of the split over the lines of its input.
class SplitConversion {
public:
    SplitConversion(Run& run, InputLines& lignes)
        : P(run), O(run.options()), win(run.sink()), TSLin(lignes), noms(!lignes.readThroughMark()) {}

    void run() {
        // The report counts the cards done, also when the run stops or fails on the way.
        const auto compte = qScopeGuard([this] { P.counts().cards = qint64(NoEnr); });
        while (lireLigne())
            traiterLigne();
        // A last card without its end line is not written; say so rather than lose it silently.
        if (ETAT == E_DansCarte)
            P.LogError(CardStructureError(Msg::CardNotEnded, O.NomFichierEntree, NoEnr + 1, carte.ligneDebut));
        writer.finish();
        if (!carteVue)
            P.LogError(NoCardError(O.NomFichierEntree));
        P.finConversion();
    }

    // The lines that a name line takes as its own, counted as the loop counts them.
    bool next(QString& ligne) {
        if (!TSLin.next(ligne))
            return false;
        ++I;
        return true;
    }
    void putBack(QString ligne) {
        TSLin.putBack(std::move(ligne));
        --I;
    }

private:
    // The next line that needs the lexer into LEX (scan begun); false after the last. A line that
    // no pass changes, that no soft line break may continue and whose first word is none of
    // those looked at (BEGIN outside a card; BEGIN, END, N, ORG, PHOTO, LOGO, X inside) is
    // dropped outside a card, or kept as the bytes it was read from: the same bytes.
    // So is a vendor line inside a card, dropped or kept as the option says, and a picture line,
    // which marks the card.
    bool lireLigne() {
        for (;; ++I) {
            const QByteArrayView* brut = O.myPhoneOut ? nullptr : TSLin.peekPlain();
            if (brut && !finitParEgal(*brut)) {
                const bool autre = ETAT == E_HorsCarte
                                       ? !premierMotParmi(*brut, {"BEGIN"})
                                       : !premierMotParmi(*brut, {"BEGIN", "END", "N", "ORG", "PHOTO", "LOGO", "X"});
                // A picture line is only marked: its data, often the card's longest line, is
                // kept as its bytes, never decoded.
                const bool photo = !autre && ETAT == E_DansCarte && premierMotParmi(*brut, {"PHOTO"});
                const bool logo = !autre && ETAT == E_DansCarte && premierMotParmi(*brut, {"LOGO"});
                carte.PhotoUser = carte.PhotoUser || photo;
                carte.PhotoLogo = carte.PhotoLogo || logo;
                if (autre || photo || logo || (ETAT == E_DansCarte && PropertyLine::isVendorLine(*brut))) {
                    P.VerifierArret(I + 1);
                    TSLin.skip();
                    if (ETAT == E_DansCarte && (autre || photo || logo || !O.dropX))
                        if (const QByteArrayView garde = sansBlancsFinaux(*brut); !garde.isEmpty())
                            LineList::appendEncodedLine(carte.octets, garde);
                    continue;
                }
            }
            if (!TSLin.next(LEX.BUFFER))
                return false;
            P.VerifierArret(I + 1);
            DEBUTANALYSE(LEX);
            ++I;
            return true;
        }
    }

    void traiterLigne() {
        const qsizetype ligne = I; // from 1
        if (ETAT == E_HorsCarte) {
            if (LigneDebutCarte(LEX))
                debutCarte(ligne);
            return;
        }
        if (LigneFinCarte(LEX)) {
            finCarte();
            return;
        }
        if (nouvelleCarte(ligne))
            return;
        traiterPropriete();
    }

    // A new card while one is open: the open card ends first, so each file holds one card. The
    // test runs on a scan of its own; the property tests see the record as the end-line test
    // left it.
    bool nouvelleCarte(qsizetype ligne) {
        // The line was trimmed by the first scan already: only the reading position needs keeping.
        const qsizetype index = LEX.INDEX;
        const QChar ch = LEX.CH, cl = LEX.CL;
        const TYPLEX t = LEX.T;
        DEBUTANALYSE(LEX);
        if (LigneDebutCarte(LEX)) {
            const quint64 numero = NoEnr + 1;
            const qsizetype debut = carte.ligneDebut;
            finCarte();
            P.LogError(CardStructureError(Msg::CardEndedByNext, O.NomFichierEntree, numero, debut, ligne));
            debutCarte(ligne);
            return true;
        }
        LEX.INDEX = index;
        LEX.CH = ch;
        LEX.CL = cl;
        LEX.T = t;
        return false;
    }

    // A line inside a card: names, pictures and vendor lines are looked at; the line is kept
    // (a vendor line dropped when the option says so) with the lines that continue it.
    void traiterPropriete() {
        bool garder = true;
        if (LigneNom(LEX)) {
            LireNom(noms.lecture(LEX, *this, LigneNom), carte.NomPrenom);
            win.appendMemo(carte.NomPrenom.isEmpty() ? QStringLiteral("NoName") : carte.NomPrenom);
        } else if (IDENTPATERN(LEX, u"ORG")) {
            LECTYPE& lu = noms.lecture(LEX, *this, [](LECTYPE& l) { return IDENTPATERN(l, u"ORG"); });
            // The first colon from the fourth character on; the first component is the organisation.
            lu.INDEX = lu.BUFFER.indexOf(u':', 3) + 1;
            carte.MonOrganisation = NettoieNom(IDENTSEP(lu, u';'));
        } else {
            if (IDENTPATERN(LEX, u"PHOTO"))
                carte.PhotoUser = true;
            else if (IDENTPATERN(LEX, u"LOGO"))
                carte.PhotoLogo = true;
            else if (O.dropX && IDENTPATERN(LEX, u"X") && SEPARATEUR(LEX, u"-"))
                garder = false;
            noms.suitesDouces(LEX.BUFFER, *this);
        }
        if (!garder)
            return;
        if (!LEX.BUFFER.isEmpty())
            garderLigne(LEX.BUFFER);
        for (const QString& suite : noms.suites())
            if (const QStringView garde = sansBlancsFinaux(suite); !garde.isEmpty())
                garderLigne(garde);
    }

    void garderLigne(QStringView ligne) {
        if (O.myPhoneOut)
            carte.TSLOut.append(ligne.toString());
        else
            LineList::appendAnsiLine(carte.octets, ligne);
    }

    void debutCarte(qsizetype ligne) {
        garderLigne(LEX.BUFFER);
        carte.ligneDebut = ligne;
        carteVue = true;
        ETAT = E_DansCarte;
    }

    void finCarte() {
        if (!carte.PhotoUser && !carte.NomPrenom.isEmpty() && O.photos) {
            if (AjouterImage(P, P.photos(), carte.NomPrenom + QStringLiteral(".jpg"), TetePhoto(), carte.TSLOut, Photo))
                carte.PhotoUser = !Photo.isEmpty();
        }
        if (!carte.PhotoLogo && !carte.MonOrganisation.isEmpty() && O.logos) {
            if (AjouterImage(P, P.logos(), QStringLiteral("logo_") + carte.MonOrganisation + QStringLiteral(".jpg"),
                             TeteLogo(), carte.TSLOut, Photo))
                carte.PhotoLogo = !Photo.isEmpty();
        }
        carte.TSLOut.append(QStringLiteral("END:VCARD"));
        ++NoEnr;
        P.montrerCompteur(qint64(NoEnr));

        if (carte.NomPrenom.isEmpty())
            carte.NomPrenom = carte.MonOrganisation;
        // "00003 Dupont Jean (PHOTO).VCF"; a card without name or organisation keeps the blank:
        // "00004 .VCF". A name too long for the file system is shortened.
        const QString NomFichierCourant = JoinPath(
            O.NomRepSortie, FitFileName(Zeros5(NoEnr) + u' ' + carte.NomPrenom,
                                        carte.PhotoUser || carte.PhotoLogo ? QStringLiteral(" (PHOTO).VCF")
                                                                           : QStringLiteral(".VCF")));
        if (O.myPhoneOut)
            PostTraitementMyPhone(carte.TSLOut);
        carte.TSLOut.appendBytes(carte.octets, 0, carte.TSLOut.size());
        // The next card starts in a buffer of the same room, one the writing thread is done with.
        QByteArray octets = writer.writeReusing(NomFichierCourant, std::move(carte.octets));
        carte = CarteSplit();
        carte.octets = std::move(octets);
        ETAT = E_HorsCarte;
    }

    Run& P;
    const RunOptions& O;
    LECTYPE LEX; // the lexer record, reused line by line
    RunSink& win;
    InputLines& TSLin;
    LecteurNoms noms;
    // The run stops at the first file that cannot be written.
    RunWriter writer{P, FileWriter::OnFailure::Drop};
    TETAT ETAT = E_HorsCarte;
    CarteSplit carte;
    quint64 NoEnr = 0;
    QByteArray Photo;
    bool carteVue = false; // a BEGIN:VCARD line was met
    qsizetype I = 0;       // input lines read
};

} // namespace

void Run::TraitementSVCFToMVCF(InputText& texte) {
    InputLines lignes(texte, inputPasses(true), progress());
    SplitConversion(*this, lignes).run();
}
