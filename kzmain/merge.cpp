// Merging: the first card of one VCF file is appended to the merged list, with a photo and a
// company logo from the photos and logos folders. The driver calls this once per file.
#include "kzmain/cardscan.h"

namespace {

// A folded continuation line, as the loop below tests it on the decoded, trimmed line: one
// byte is one character, and the trimmed characters are bytes below 0x21.
bool estSuite(QByteArrayView ligne) {
    const QByteArrayView l = sansBlancsFinaux(ligne);
    return l.size() >= 2 && l[0] == ' ';
}

// The first card of one input file, merged.
class MergeConversion {
public:
    MergeConversion(Run& run, InputLines& lignes, LineList& sortie, QByteArray* encodees)
        : P(run), O(run.options()), TSLin(lignes), TSLOut(sortie), encodees(encodees), noms(!lignes.readThroughMark()) {
    }

    void run() {
        // Only the first card is read: the rest of the file is never decoded.
        while (!Fin && lireLigne()) {
            const QString& ligne = LEX.BUFFER;
            // A folded continuation line is copied as it stands, never read as a property.
            if (ligne.size() >= 2 && ligne.at(0) == u' ') {
                garder(ligne);
            } else if (LigneFinCarte(LEX)) {
                finCarte();
                Fin = true;
            } else {
                traiterPropriete();
            }
        }
        // A file without END:VCARD (or an empty one) is closed all the same, without pictures.
        if (!Fin)
            TSLOut.append(QStringLiteral("END:VCARD"));
    }

private:
    // The next line that needs the lexer into LEX (scan begun); false after the last. A folded
    // continuation line (photo data, mostly), or a line that no pass changes, that no soft line
    // break may continue and whose first word is none of those looked at (END, N, ORG, PHOTO,
    // LOGO, X), is copied as the bytes it was read from, without being decoded and encoded
    // again: the same bytes. So is a vendor line, or it is dropped, as the option says. An
    // empty line is dropped.
    bool lireLigne() {
        for (;;) {
            const QByteArrayView* brut = encodees ? TSLin.peekPlain() : nullptr;
            bool copier = false;
            if (brut && estSuite(*brut)) {
                copier = true;
            } else if (brut && !finitParEgal(*brut)) {
                const bool autre = !premierMotParmi(*brut, {"END", "N", "ORG", "PHOTO", "LOGO", "X"});
                if (!autre && !PropertyLine::isVendorLine(*brut))
                    brut = nullptr;
                copier = autre || !O.dropX;
            } else {
                brut = nullptr;
            }
            if (brut) {
                P.VerifierArret();
                TSLin.skip();
                if (const QByteArrayView garde = sansBlancsFinaux(*brut); copier && !garde.isEmpty())
                    LineList::appendEncodedLine(*encodees, garde);
                continue;
            }
            if (!TSLin.next(LEX.BUFFER))
                return false;
            P.VerifierArret();
            DEBUTANALYSE(LEX);
            return true;
        }
    }

    // A line of the card: names, pictures and vendor lines are looked at; the line is kept (a
    // vendor line dropped when the option says so) with the lines that continue it.
    void traiterPropriete() {
        const QString& ligne = LEX.BUFFER;
        bool garde = true;
        if (LigneNom(LEX)) {
            LireNom(noms.lecture(LEX, TSLin, LigneNom), NomPrenom);
            P.sink().appendMemo(NomPrenom.isEmpty() ? QStringLiteral("NoName") : NomPrenom);
        } else if (IDENTPATERN(LEX, u"ORG")) {
            const QString& valeur = noms.lecture(LEX, TSLin, [](LECTYPE& l) { return IDENTPATERN(l, u"ORG"); }).BUFFER;
            // The whole value, later components included: "Acme;Sales" looks for "Acme;Sales.jpg".
            const qsizetype deuxPoints = valeur.indexOf(u':');
            if (deuxPoints >= 0)
                MonOrganisation = NettoieNom(valeur.mid(deuxPoints + 1));
        } else {
            if (IDENTPATERN(LEX, u"PHOTO"))
                PhotoUser = true;
            else if (IDENTPATERN(LEX, u"LOGO"))
                PhotoLogo = true;
            else if (O.dropX && IDENTPATERN(LEX, u"X") && SEPARATEUR(LEX, u"-"))
                garde = false;
            noms.suitesDouces(ligne, TSLin);
        }
        if (!garde)
            return;
        if (!ligne.isEmpty())
            garder(ligne);
        for (const QString& suite : noms.suites())
            if (const QStringView l = sansBlancsFinaux(suite); !l.isEmpty())
                garder(l.toString());
    }

    // A kept line goes to the encoded text when there is one (the next line then reuses its
    // storage), otherwise to the list; pictures and the end line always go to the list.
    void garder(const QString& ligne) {
        if (encodees)
            LineList::appendAnsiLine(*encodees, ligne);
        else
            TSLOut.append(ligne);
    }

    void finCarte() {
        if (!PhotoUser && O.photos && !NomPrenom.isEmpty()) {
            if (AjouterImage(P, P.photos(), NomPrenom + QStringLiteral(".jpg"), TetePhoto(), TSLOut, Photo))
                PhotoUser = !Photo.isEmpty();
        }
        const bool optLogos = O.logos && !MonOrganisation.isEmpty();
        if (O.myPhoneOut) {
            // MyPhoneExplorer shows one picture per contact: the logo stands in for a missing photo.
            if (optLogos && !PhotoUser) {
                if (AjouterImage(P, P.logos(), QStringLiteral("logo_") + MonOrganisation + QStringLiteral(".jpg"),
                                 TetePhoto(), TSLOut, Photo))
                    PhotoUser = !Photo.isEmpty();
            }
        } else if (!PhotoLogo && optLogos) {
            AjouterImage(P, P.logos(), MonOrganisation + QStringLiteral(".jpg"), TeteLogo(), TSLOut, Photo);
        }
        TSLOut.append(QStringLiteral("END:VCARD"));
    }

    Run& P;
    const RunOptions& O;
    LECTYPE LEX; // the lexer record, reused line by line
    InputLines& TSLin;
    LineList& TSLOut;
    QByteArray* encodees;
    LecteurNoms noms;
    QString NomPrenom;
    QString MonOrganisation;
    QByteArray Photo;
    bool PhotoUser = false;
    bool PhotoLogo = false;
    bool Fin = false;
};

} // namespace

void Run::TraitementMVCFToSVCF(InputText& texte, LineList& TSLOut, QByteArray* encodees) {
    InputLines lignes(texte, inputPasses(false, false));
    MergeConversion(*this, lignes, TSLOut, encodees).run();
}
