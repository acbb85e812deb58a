#pragma once
// What one Run is asked to do, and what it reports back. The window makes the options once when
// Run is pressed (the output file once it is chosen); corvanta-cli makes them from its arguments.
// The driver and the conversions read nothing else.
#include "kzlex/fileio.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "kzlex/messages.h"

#include <optional>

// The kind of a message: a failed check's, or one a front end shows.
enum class MsgKind { Warning, Information, Error };

// The four actions, as the window's radio buttons name them.
enum class Action {
    Contacts,  // R_SVCFToContacts: one VCF file into .contact documents
    Split,     // R_SVCFToMVCF: one VCF file into one VCF file per card
    Merge,     // R_MVCFToSVCF: the first card of every VCF file of a folder into one file
    PhoneBook, // R_MyPhonePhoto: pictures for a MyPhoneExplorer phone book
};

struct RunOptions {
    Action action = Action::Contacts;
    // Paths, taken exactly as typed.
    QString NomFichierEntree; // the input file (contacts, split, phone book)
    QString NomRepSortie;     // the output folder (contacts, split); the save dialog's folder (merge)
    QString NomRepEntree;     // the input folder (merge)
    QString NomFichierSortie; // the file the save dialog proposes (merge)
    // The output file of the merge and the phone book, and whether it replaces an existing file
    // (without that answer an existing file fails the run's check with the overwrite question).
    QString outputFile;
    bool overwrite = false;
    QString NomRepPhotos;
    QString NomRepLogos;
    // The option boxes.
    bool photos = false;      // C_Photo: include photos
    bool logos = false;       // C_Logos: include logos
    bool dropX = true;        // C_TagX: drop vendor X-... lines
    bool dropSync = true;     // C_TagSync: drop X-SYNC parameters
    bool googleLabels = true; // C_TagLabel: undo Google's X-ABLabel groups
    bool myPhoneIn = false;   // C_MyPhoneIn: the input is in MyPhoneExplorer's dialect
    bool myPhoneOut = false;  // C_MyphoneOut: the merged file is in MyPhoneExplorer's dialect
    // The language of the run's messages.
    Language language = Language::French;
    // The seed of the .contact identifiers; the clock when not given.
    std::optional<quint32> seed;
    // The creation date written into .contact documents; now when not given.
    std::optional<QDateTime> creationTime;
    // How the run reads and writes files: the system's quicker calls, or the portable ones alone.
    FileAccess files = FileAccess::Quick;
};

struct RunReport {
    enum class Outcome {
        Done,         // the run reached its end (error lines may have been logged on the way)
        CheckFailed,  // a check failed (checkMessage, checkKind, checkField): nothing was done
        SaveDeclined, // the output file was not chosen, or its overwrite declined: nothing was done
        Stopped,      // the front end asked the run to stop
        Error,        // an error ended the run, or the output could not be written
    };
    Outcome outcome = Outcome::Done;
    // The path whose check failed (with CheckFailed): the front end points the user at it.
    enum class Field { None, InputFile, OutputFolder, InputFolder, PhotosFolder, LogosFolder };
    Field checkField = Field::None;
    // The failed check's message (with CheckFailed), for the front end to show: the window in a
    // message box of its kind, the command line on standard error.
    QString checkMessage;
    MsgKind checkKind = MsgKind::Warning;
    qint64 cards = 0;          // cards converted, merged or completed
    qint64 filesWritten = 0;   // output files written
    qint64 picturesCopied = 0; // pictures taken from the photos and logos folders
    QStringList errorLines;    // every error line logged, in order
    QString savedFile;         // the merge's or phone book's output file, once the work started

    // True when the run reached its end without logging an error.
    bool succeeded() const { return outcome == Outcome::Done && errorLines.isEmpty(); }
};
