#pragma once
// The command line of corvanta-cli: parsing into a job, and the run's options made from it.
#include "kzmain/runoptions.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

enum class CliAction { Contacts, Split, Merge, PhoneBook };

struct CliJob {
    CliAction action = CliAction::Contacts;
    QString input;         // absolute: input file, or input folder of the merge
    QString output;        // absolute: output folder, or output file of the merge and the phone book
    QString photos, logos; // absolute, empty when not given
    bool keepX = false, keepSync = false, keepLabels = false;
    bool myPhoneIn = false, myPhoneOut = false;
    Language language = Language::English;
    bool force = false;
    std::optional<quint32> seed;
};

struct CliParse {
    enum class Kind { Run, Help, Version, Usage } kind = Kind::Usage;
    CliJob job;
    QString error; // for Usage
};

// Parses the arguments (without the program name). Paths are made absolute against the
// current folder.
CliParse parseCommandLine(const QStringList& arguments);
QString usageText();

// The run's action for the command line's.
Action toAction(CliAction action);
// The options of the run the job asks for (the creation time aside: see sourceDateEpoch).
RunOptions runOptions(const CliJob& job);

// A number in decimal or 0x-hexadecimal, taken modulo 2^32.
std::optional<quint32> parseSeed(const QString& text);
// The time given by SOURCE_DATE_EPOCH (integer seconds), or nothing.
std::optional<QDateTime> sourceDateEpoch(const QByteArray& value);
