#pragma once
// Small services shared by the window, the driver and the conversions.
#include "kzlex/linelist.h"
#include <QByteArray>
#include <QFile>
#include <QString>

#include <filesystem>

// The numbers of the catalogue's messages.
enum MessageNo : quint16 {
    MsgSyntaxeNom = 1,
    MsgSyntaxeUrl = 2,
    MsgSyntaxeTel = 3,
    MsgSyntaxeAdr = 4,
    MsgSyntaxeEmail = 5,
    MsgTagInconnu = 6,
    MsgErreurAutomate = 7,
    MsgConversionTerminee = 8,
    MsgFichierVide = 9,
    MsgRepPhotosAbsent = 10,
    MsgRepSortieAbsent = 11,
    MsgFichierEntreeAbsent = 12,
    MsgTitreRepSortie = 13,
    MsgTitreRepEntree = 14,
    MsgTitreRepPhotos = 15,
    MsgConfigImpossible = 16,
    MsgRepEntreeAbsent = 17,
    MsgPasDeVcf = 18,
    MsgEcraser = 19,
    MsgTitreRepLogos = 20,
    MsgRepLogosAbsent = 21,
    MsgImageCacheImpossible = 22,
    // The window's newer texts.
    MsgArreter = 101,
    MsgOuvrirSortie = 102,
    MsgErreursSeules = 103,
    MsgEnregistrerLog = 104,
    MsgContact = 105,        // "%1 contact": one (French: none or one)
    MsgContacts = 106,       // "%1 contacts"
    MsgFichierEcrit = 107,   // "%1 file written"
    MsgFichiersEcrits = 108, // "%1 files written"
    MsgAucuneErreur = 109,
    MsgErreur = 110,  // "%1 error"
    MsgErreurs = 111, // "%1 errors"
    MsgResumeArret = 112,
    MsgResumeErreur = 113,
    MsgResumeNonEnregistre = 114,
    MsgFiltreTexte = 115,
    MsgLogImpossible = 116,
    MsgFichierVideNomme = 117,         // "Empty file: "%1""
    MsgRepSortieFichier = 118,         // the output folder "%1" is a file
    MsgRepSortieNonInscriptible = 119, // no new file can be made in the output folder "%1": %2
    MsgSansPhotos = 120,               // notice: no photos folder chosen
    MsgSansLogos = 121,                // notice: no logos folder chosen
    MsgPhoto = 122,                    // "%1 photo": one (French: none or one)
    MsgPhotos = 123,                   // "%1 photos"
    MsgOuvrirImpossible = 124,         // nothing could open the folder "%1"
    MsgCarnetNonRemplace = 125,        // the phone book "%1" kept: the list is incomplete
};
// The two-language message catalogue: French only when Langue is exactly "FR".
QString Mess(const QString& Langue, quint16 No);

// Removes the first ";X-SYNC..." parameter of every line.
void ElimineXSync(LineList& T, const Progress& progress = {});
// The same for one line.
void ElimineXSyncLigne(QString& line);

// The generator of element identifiers: 36-character upper-case hexadecimal identifiers,
// 8-4-4-4-12, from a 32-bit linear congruential generator. One per run.
class ElementIds {
public:
    explicit ElementIds(quint32 state) : m_state(state) {}
    // Seeded from the high-resolution clock: identifiers differ from one run to the next.
    static quint32 clockSeed();

    // The next identifier.
    QString next();
    // The same, written at `out` (36 characters), without a string made for it.
    void into(char16_t* out);
    quint32 state() const { return m_state; }

private:
    // One draw below n.
    quint32 drawBelow(quint32 n);
    quint32 m_state;
};

// Replaces the nine characters forbidden in file names, the control characters (C0, DEL, C1),
// the bidirectional controls and the line and paragraph separators by blanks, then trims.
QString filtreinterdits(const QString& nom);
// The name rule for output file names, picture look-ups and the processed-files list: the
// forbidden characters go from the name as finally decoded.
QString NettoieNom(const QString& text);
// `name` followed by `suffix`, as one file name that a file system takes: when the whole is
// longer than 255 bytes of UTF-8, `name` is cut at a character boundary (a surrogate pair is
// never split) so that it fits, and the blanks left at the cut go.
QString FitFileName(const QString& name, const QString& suffix);
// The line as a list or log shows it: every control character but the tab (U+0000 to U+001F,
// U+007F to U+009F) is a blank, so the line stays one line with nothing for a terminal to obey.
QString ShownLine(const QString& line);
// Length of the run of characters from `lowest` to U+007F that starts the text (sixteen at a
// time: photo data runs to tens of thousands of them).
qsizetype asciiRunLength(QStringView text, char16_t lowest = 0);
// Re-decodes text held as Windows-1252 characters of UTF-8 bytes, when every character maps
// exactly to one byte and those bytes are valid UTF-8; otherwise returns the text unchanged.
QString ReDecodeUtf8(const QString& text);

// The folder that holds the settings folder: APPDATA when set and not empty, else the
// per-user configuration folder.
QString GetAppConfigDir();

// The bytes of a regular file (a picture); throws FileReadError when it is no regular file or
// cannot be read.
QByteArray ReadWholeFile(const QString& fileName);
// The largest picture file that a run embeds or copies: 16 MB.
constexpr qint64 kPictureMaxBytes = qint64(16) << 20;
// The bytes of a picture file, as ReadWholeFile reads them; throws FileReadError without
// reading it when its status gives more than kPictureMaxBytes.
QByteArray ReadPicture(const QString& fileName);
// Reads a whole picture file as MIME base64 (76-character lines separated by CR LF). False when
// no file exists there or it is empty; throws FileReadError when it exists but cannot be read
// or is larger than kPictureMaxBytes.
bool EncodeFile(const QString& FileName, QByteArray& S);

// Writes base64 data after a property head, folded into lines of 78 characters; each
// continuation line starts with `continuation` (a blank for vCard, empty for .contact).
void EcrirePhotoLignes(const QString& Prefixe, const QByteArray& Sin, LineList& T, const QString& continuation);

// Opens `file` on `fileName` for reading when it is a regular file once links are followed: a
// FIFO, a device or a socket is refused (FileReadError) before anything is read, and a FIFO is
// never waited on. Throws FileReadError when it cannot be opened.
void OpenRegularFile(QFile& file, const QString& fileName, QIODevice::OpenMode mode);

// Whose choice the name of a file to write is.
enum class WriteTarget {
    RunNamed,  // a name that the run made (a card's file, a picture of the image cache): a link
               // at that name is replaced by the file, and what it names is left alone
    UserChosen // a path that the user chose (an output file, the settings file): a link to a
               // regular file is followed, that file is replaced and the link stays
};

// Writes bytes to a file whole or not at all, through a temporary file in the same folder
// renamed into place: synced when it replaces an existing file, not synced when the file is
// new. Every short write or failed close throws FileWriteError (naming the file) and leaves
// the old file as it was and no temporary file behind. A folder, a FIFO, a device or a socket
// at the name (or, for a chosen path, at the end of its link) is an error and stays as it is,
// and so is a chosen path that is a link to a missing file. Writing a chosen path first removes
// what killed runs left in its folder.
void WriteFileAtomic(const QString& fileName, const QByteArray& data,
                     WriteTarget target = WriteTarget::UserChosen);

// Removes the temporary files that runs which were killed left in `folder` (those of processes
// that no longer run). A run calls it once for a folder it writes its own names into.
void RemoveLeftoverTemporaries(const QString& folder);

// Why no new file can be made in `folder` ("" when one can): a temporary file is made there and
// removed at once. Rights alone do not tell (an administrator, a read-only file system).
QString NewFileRefusal(const QString& folder);

// For the tests: called with the file's name just before a temporary file is renamed into its
// place (null: nothing).
void SetRenameHook(void (*hook)(const QString& fileName));

// The name as the file system spells it (a QString may hold what UTF-8 cannot encode).
std::filesystem::path NativePath(const QString& name);

// Joins a folder typed by the user and a file name with exactly one "/" between them.
QString JoinPath(const QString& folder, const QString& name);
