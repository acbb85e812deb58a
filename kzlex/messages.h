#pragma once
// The two-language catalogue: every text the program shows or logs (messages, error texts,
// captions and their Alt letters), each named by a Msg, in French and in English.
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The language of the texts.
enum class Language { French, English };

// The texts of the catalogue. "%1", "%2"... stand for the arguments noted beside them.
enum class Msg : quint16 {
    // The conversions' log lines. The five syntax messages end in ": ", for the line that follows.
    SyntaxName,
    SyntaxUrl,
    SyntaxTel,
    SyntaxAdr,
    SyntaxEmail,
    UnknownTag,
    AutomatonError,
    ConversionDone,
    // The checks before a run, and the folder pickers' titles.
    EmptyFile,
    PhotosFolderMissing,
    OutputFolderMissing,
    InputFileMissing,
    OutputFolderTitle,
    InputFolderTitle,
    PhotosFolderTitle,
    CannotCreateSettings,
    InputFolderMissing,
    NoVcfFile,
    Overwrite,
    LogosFolderTitle,
    LogosFolderMissing,
    CannotCreateImageCache,
    // The text of a number that names no text.
    Unknown,
    // The window's newer texts: its buttons, its run summary, the log's saving, the counter, the
    // checks that name their path and the notices of a run without a picture folder.
    Stop,
    OpenOutputFolder,
    ErrorsOnly,
    SaveLog,
    Contact,                 // "%1 contact": one (French: none or one)
    Contacts,                // "%1 contacts"
    FileWritten,             // "%1 file written": one (French: none or one)
    FilesWritten,            // "%1 files written"
    NoErrors,                //
    Error,                   // "%1 error": one (French: none or one)
    Errors,                  // "%1 errors"
    SummaryStopped,          // %1 what was written
    SummaryError,            // %1 the counts
    SummaryNotSaved,         // %1 the counts
    LogFilter,               // the save-log dialog's filter, "desc|mask|desc|mask"
    CannotSaveLog,           // %1 reason
    EmptyFileNamed,          // "%1" file
    OutputFolderIsFile,      // "%1" folder
    OutputFolderNotWritable, // "%1" folder, %2 reason: no new file can be made in it
    NoPhotosFolder,          // notice: no photos folder chosen
    NoLogosFolder,           // notice: no logos folder chosen
    Photo,                   // "%1 photo": one (French: none or one)
    Photos,                  // "%1 photos"
    CannotOpenFolder,        // "%1" folder: nothing could open it
    PhoneBookKept,           // "%1" phone book kept: the list is incomplete
    ProgressFormat,          // the progress bar's text
    ProgressName,            // the progress bar's accessible name
    // The error texts of KzError.
    CannotOpen,           // "%1" file, %2 reason
    CannotRead,           // "%1" file, %2 reason
    NotRegularFile,       // "%1" file
    CannotCreate,         // "%1" file, %2 reason
    NoFreeTemporaryName,  // "%1" file
    CannotWrite,          // "%1" file, %2 reason
    ShortWrite,           // "%1" file, %2 bytes written, %3 bytes to write
    LinkToMissingFile,    // "%1" file
    WriteNotRegularFile,  // "%1" file: a FIFO, a device or a socket has the name
    BadUtf8,              // "%1" file, %2 byte offset, %3 line
    NulCharacter,         // "%1" file, %2 line
    Utf16OddSize,         // "%1" file
    Utf16BrokenSurrogate, // "%1" file, %2 byte offset, %3 line
    CardNotEnded,         // "%1" file, %2 card, %3 its first line: the input ended first
    CardEndedByNext,      // "%1" file, %2 card, %3 its first line, %4 the next card's first line
    CardWithoutEnd,       // %1 file, %2 card, %3 its first line (the contacts action's merged card)
    LuidNotFileName,      // "%1" value, "%2" picture folder
    PictureTooLarge,      // "%1" file, %2 its bytes
    NoCard,               // "%1" file
    NotEnoughMemory,      //
    StoppedWindowClosing, //
    StoppedByUser,        //
    // The window's captions, with "&" before the Alt letter of those that have one. The last two
    // are the same in both languages.
    FilesProcessedLabel,
    LanguageLabel,
    CounterLabel,
    IncludePhotos,
    IncludeLogos,
    DropTagX,
    InputMyPhone,
    OutputMyPhone,
    GoogleLabels,
    SourceFileButton,
    OutputFolderButton,
    InputFolderButton,
    PhotosFolderButton,
    LogosFolderButton,
    ContactsAction,
    SplitAction,
    MergeAction,
    RunButton,
    CloseButton,
    PhoneBookAction,
    DropTagSync,
};

// The text of `msg` in `language`, without the Alt letter's "&" (the Unknown text for a value
// that names no text).
QString Mess(Language language, Msg msg);
// The text with its arguments put in place, in one pass: a file name holding "%2" stays as it is.
QString Mess(Language language, Msg msg, const QStringList& args);
// The caption `msg` in `language` with "&" before its Alt letter, as buttons and labels take it.
QString AltCaption(Language language, Msg msg);
// The language's code in the settings file: "FR" or "EN".
QString LanguageCode(Language language);
