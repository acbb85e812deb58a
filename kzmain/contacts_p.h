#pragma once
// The state of one run of the Windows Contacts conversion: the pending document, the eight
// collection buffers and the values of the current card. Private to contacts*.cpp.
#include "kzmain/contactxml.h"
#include "kzmain/run.h"
#include "kzmain/runwriter.h"
#include <array>
#include <initializer_list>
#include <memory>

// The collections of a contact document, in the order in which they are written.
enum TItems { ItemNom, ItemTel, ItemDate, ItemAdrPhy, ItemPhoto, ItemPosition, ItemURL, ItemEmail, ItemCount };
// The document's own buffer (its head and notes), after the eight collections' buffers.
constexpr int TamponDocument = ItemCount;

// One collection's buffer: finished lines (each ending in CR LF) and whether the current card
// put an entry into it.
struct TListeItems {
    QString L;
    bool B = false;
};
using TListeTab = std::array<TListeItems, ItemCount>;

// `Indent` blanks; the empty text for 0 or less.
QString TabIndent(int Indent);

class ContactConversion {
public:
    explicit ContactConversion(Run& run);
    void run(InputLines& TSLin);

private:
    // Card loop and document frame (contacts.cpp)
    void dispatch();
    void debutCarte();
    void finCarte();
    void ConvertContactInit();
    void ConvertContactFin();
    // A large card: past kDebordement characters in all, every buffer goes as UTF-8 to a file
    // of its own in the output folder (deborder), and the document is put together there from
    // them (documentDeborde), so no card is ever held whole in memory.
    void deborder();
    void documentDeborde();
    QString& tampon(int i) { return i == TamponDocument ? TSLOut : ListeItems[i].L; }
    void viderCarte();
    QString ligneDateCreation();

    // Property handlers and pictures (contacts_properties.cpp)
    void TraiteNom();
    void TraiteFN();
    void TraiteTel();
    void TraiteAdr();
    void TraiteEmail();
    void TraiteUrl();
    void TraiteNote();
    void TraiteTitre();
    void TraiteOrg();
    void TraiteAnniversaire();
    void TraiteAutre();
    void TraitementPhoto(const QString& TYPEPHOTO, const QString& BUFFER);
    void RecherchePhoto(bool coche, PictureFolder& dossier, const QString& nom, bool dejaFaite, const QString& type);
    // The next component of a structured value (N, ADR), cut at the next ";".
    QString composante(QString* brute = nullptr);
    // The parameter text (upper case) when the lexer does not stand on ":", then the rest of the line.
    bool lireParametres(QString& S);
    void logSyntaxe(Msg msg);

    // Appends one line, indented, ending in CR LF.
    static void ajoute(QString& buffer, int indent, QStringView text) { ajoute(buffer, indent, {text}); }
    void ajouteItem(TItems item, int indent, QStringView text) { ajoute(ListeItems[item].L, indent, text); }
    // The same for a built text (a chain of + that becomes a QString).
    static void ajoute(QString& buffer, int indent, const QString& text) { ajoute(buffer, indent, QStringView(text)); }
    void ajouteItem(TItems item, int indent, const QString& text) { ajoute(ListeItems[item].L, indent, text); }
    // The same for a line in pieces, written one after the other without a text made first.
    static void ajoute(QString& buffer, int indent, std::initializer_list<QStringView> pieces) {
        ajoute(buffer, indent, pieces.begin(), pieces.end());
    }
    static void ajoute(QString& buffer, int indent, const QStringView* debut, const QStringView* fin);
    // A line of a value escaped for XML between `avant` and `apres`, into buffer `t`: a value of
    // megabytes is escaped and written a block at a time.
    void ajouteValeur(int t, int indent, std::initializer_list<QStringView> avant, QString valeur,
                      std::initializer_list<QStringView> apres);
    void ajouteItem(TItems item, int indent, std::initializer_list<QStringView> pieces) {
        ajoute(ListeItems[item].L, indent, pieces);
    }

    // A new element identifier, valid until the next one.
    QStringView nouvelId() {
        P.nouvelId(idCourant.data());
        return QStringView(idCourant.data(), qsizetype(idCourant.size()));
    }
    std::array<char16_t, 36> idCourant{};

    Run& P;
    const RunOptions& O;
    LECTYPE LEX; // the lexer record, reused line by line
    RunSink& win;

    QString TSLOut;
    TListeTab ListeItems;
    // A large card's buffers gone to files (TamponDocument's becomes the document), and its
    // complete document waiting for its name; null for the usual card.
    std::array<std::unique_ptr<StreamedFile>, ItemCount + 1> debordes;
    std::unique_ptr<StreamedFile> documentComplet;
    bool deborde = false;
    static constexpr qsizetype kDebordement = qsizetype(1) << 20; // characters
    int INDENT = 0;
    qint64 NoEnr = 0;
    QString NomPrenom;
    QString MonOrganisation;
    bool BPhotoUser = false;
    bool BPhotoLogo = false;
    QString ATTRIBUT;
    QString NomFichierCourant;
    // The log line of an unknown tag, and the card count it was made for.
    QString tagInconnu;
    QString nomTag; // the identifier of a line that no keyword takes, its room kept
    qint64 tagInconnuCarte = -1;
    // The creation-date line, made again only when the second changes.
    qint64 dateSecondes = 0;
    QString dateLigne;
    // A file that cannot be written is logged and the run goes on with the next card.
    RunWriter writer{P, FileWriter::OnFailure::Continue};

    // Whether a card is open, and the input line (from 1) of its BEGIN:VCARD.
    bool carteOuverte = false;
    bool carteVue = false; // a BEGIN:VCARD line was met
    qsizetype ligneDebutCarte = 0;
    qsizetype ligneCourante = 0;
};
