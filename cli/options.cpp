#include "cli/options.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimeZone>

namespace {

QString absolute(const QString& path) {
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

CliParse usage(const QString& error) {
    CliParse p;
    p.kind = CliParse::Kind::Usage;
    p.error = error;
    return p;
}

} // namespace

QString usageText() {
    return QStringLiteral("Usage: corvanta-cli ACTION INPUT OUTPUT [options]\n"
                          "\n"
                          "Actions:\n"
                          "  contacts INPUT.vcf OUTDIR       one Windows Contacts .contact file per card\n"
                          "  split INPUT.vcf OUTDIR          one VCF file per card\n"
                          "  merge INDIR OUTFILE             the first card of every VCF file of INDIR\n"
                          "  phonebook PHONEBOOK.dat OUTFILE photos and logos into a MyPhoneExplorer\n"
                          "                                  phone book\n"
                          "\n"
                          "Options:\n"
                          "  --photos DIR     include photos from DIR\n"
                          "  --logos DIR      include logos from DIR (phonebook: defaults to --photos)\n"
                          "  --keep-x         keep vendor lines X-... (not with phonebook)\n"
                          "  --keep-sync      keep X-SYNC parameters (not with phonebook)\n"
                          "  --keep-labels    keep Google's X-ABLabel grouping (not with phonebook)\n"
                          "  --myphone-in     the input is in MyPhoneExplorer's dialect (contacts, split)\n"
                          "  --myphone-out    write the output in MyPhoneExplorer's dialect (merge)\n"
                          "  --lang fr|en     language of the messages (default en)\n"
                          "  --force          replace an existing OUTFILE\n"
                          "  --seed N         seed of the element identifiers (decimal or 0x-hexadecimal)\n"
                          "  -h, --help       show this help\n"
                          "  --version        show the version\n"
                          "\n"
                          "The processed-files list goes to standard output, the log to standard error.\n"
                          "SOURCE_DATE_EPOCH (integer seconds) fixes the creation date of .contact files.\n"
                          "Exit status: 0 when the run reached its end, 1 when a check failed, an error\n"
                          "ended the run or OUTFILE exists without --force, 2 for bad usage.\n");
}

std::optional<quint32> parseSeed(const QString& text) {
    int base = 10;
    QStringView digits(text);
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits = digits.sliced(2);
    }
    if (digits.isEmpty())
        return std::nullopt;
    // Unsigned arithmetic wraps, which takes the value modulo 2^32 at any length.
    quint32 value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        const int d = u >= '0' && u <= '9'   ? u - '0'
                      : u >= 'a' && u <= 'f' ? u - 'a' + 10
                      : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                             : -1;
        if (d < 0 || d >= base)
            return std::nullopt;
        value = value * quint32(base) + quint32(d);
    }
    return value;
}

std::optional<QDateTime> sourceDateEpoch(const QByteArray& value) {
    bool ok = false;
    const qint64 seconds = value.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

namespace {

// The options of the command line.
struct Options {
    QCommandLineOption photos{QStringLiteral("photos"), QString(), QStringLiteral("DIR")};
    QCommandLineOption logos{QStringLiteral("logos"), QString(), QStringLiteral("DIR")};
    QCommandLineOption keepX{QStringLiteral("keep-x")};
    QCommandLineOption keepSync{QStringLiteral("keep-sync")};
    QCommandLineOption keepLabels{QStringLiteral("keep-labels")};
    QCommandLineOption myPhoneIn{QStringLiteral("myphone-in")};
    QCommandLineOption myPhoneOut{QStringLiteral("myphone-out")};
    QCommandLineOption lang{QStringLiteral("lang"), QString(), QStringLiteral("LANG")};
    QCommandLineOption force{QStringLiteral("force")};
    QCommandLineOption seed{QStringLiteral("seed"), QString(), QStringLiteral("N")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};

    // The options that the window disables for the action.
    QList<const QCommandLineOption*> disabledFor(CliAction action) const {
        switch (action) {
        case CliAction::Contacts:
        case CliAction::Split:
            return {&myPhoneOut};
        case CliAction::Merge:
            return {&myPhoneIn};
        case CliAction::PhoneBook:
            return {&keepX, &keepSync, &keepLabels, &myPhoneIn, &myPhoneOut};
        }
        return {};
    }
};

std::optional<CliAction> actionNamed(const QString& name) {
    static const std::pair<const char*, CliAction> actions[] = {{"contacts", CliAction::Contacts},
                                                                {"split", CliAction::Split},
                                                                {"merge", CliAction::Merge},
                                                                {"phonebook", CliAction::PhoneBook}};
    for (const auto& [word, action] : actions)
        if (name == QLatin1String(word))
            return action;
    return std::nullopt;
}

// The job's paths and option values, once its action and operands are known; an error text for
// a bad value.
QString readValues(const QCommandLineParser& parser, const Options& o, CliJob& job) {
    const QStringList pos = parser.positionalArguments();
    job.input = absolute(pos.at(1));
    job.output = absolute(pos.at(2));
    job.photos = absolute(parser.value(o.photos));
    job.logos = absolute(parser.value(o.logos));
    if (parser.isSet(o.photos) && parser.value(o.photos).isEmpty())
        return QStringLiteral("The option --photos needs a folder.");
    if (parser.isSet(o.logos) && parser.value(o.logos).isEmpty())
        return QStringLiteral("The option --logos needs a folder.");
    job.keepX = parser.isSet(o.keepX);
    job.keepSync = parser.isSet(o.keepSync);
    job.keepLabels = parser.isSet(o.keepLabels);
    job.myPhoneIn = parser.isSet(o.myPhoneIn);
    job.myPhoneOut = parser.isSet(o.myPhoneOut);
    job.force = parser.isSet(o.force);
    if (parser.isSet(o.lang)) {
        const QString l = parser.value(o.lang).toUpper();
        if (l != QLatin1String("FR") && l != QLatin1String("EN"))
            return QStringLiteral("The language must be fr or en, not '%1'.").arg(parser.value(o.lang));
        job.language = l == QLatin1String("FR") ? Language::French : Language::English;
    }
    if (parser.isSet(o.seed)) {
        job.seed = parseSeed(parser.value(o.seed));
        if (!job.seed)
            return QStringLiteral("The seed must be a decimal or 0x-hexadecimal number, not '%1'.")
                .arg(parser.value(o.seed));
    }
    return QString();
}

} // namespace

CliParse parseCommandLine(const QStringList& arguments) {
    const Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({o.photos, o.logos, o.keepX, o.keepSync, o.keepLabels, o.myPhoneIn, o.myPhoneOut, o.lang, o.force,
                       o.seed, o.help, o.version});

    if (!parser.parse(QStringList{QStringLiteral("corvanta-cli")} + arguments))
        return usage(parser.errorText());
    CliParse p;
    if (parser.isSet(o.help) || parser.isSet(o.version)) {
        p.kind = parser.isSet(o.help) ? CliParse::Kind::Help : CliParse::Kind::Version;
        return p;
    }

    const QStringList pos = parser.positionalArguments();
    if (pos.isEmpty())
        return usage(QStringLiteral("No action given."));
    const QString action = pos.first();
    const std::optional<CliAction> named = actionNamed(action);
    if (!named)
        return usage(QStringLiteral("Unknown action '%1'.").arg(action));
    if (pos.size() != 3)
        return usage(QStringLiteral("The action '%1' takes an input and an output.").arg(action));
    for (const QCommandLineOption* disabled : o.disabledFor(*named))
        if (parser.isSet(*disabled))
            return usage(QStringLiteral("The option --%1 does not apply to the action '%2'.")
                             .arg(disabled->names().first(), action));

    p.job.action = *named;
    if (const QString error = readValues(parser, o, p.job); !error.isEmpty())
        return usage(error);
    p.kind = CliParse::Kind::Run;
    return p;
}

Action toAction(CliAction action) {
    switch (action) {
    case CliAction::Contacts:
        return Action::Contacts;
    case CliAction::Split:
        return Action::Split;
    case CliAction::Merge:
        return Action::Merge;
    case CliAction::PhoneBook:
        return Action::PhoneBook;
    }
    return Action::Contacts;
}

RunOptions runOptions(const CliJob& job) {
    RunOptions o;
    o.action = toAction(job.action);
    if (job.action == CliAction::Merge)
        o.NomRepEntree = job.input;
    else
        o.NomFichierEntree = job.input;
    if (job.action == CliAction::Contacts || job.action == CliAction::Split) {
        o.NomRepSortie = job.output;
    } else {
        // The merge's and the phone book's file, set up front: an existing one is replaced only
        // with --force.
        o.outputFile = job.output;
        o.overwrite = job.force;
    }
    o.NomRepPhotos = job.photos;
    o.NomRepLogos = job.logos.isEmpty() && job.action == CliAction::PhoneBook ? job.photos : job.logos;
    o.photos = !job.photos.isEmpty();
    o.logos = !job.logos.isEmpty();
    o.dropX = !job.keepX;
    o.dropSync = !job.keepSync;
    o.googleLabels = !job.keepLabels;
    o.myPhoneIn = job.myPhoneIn;
    o.myPhoneOut = job.myPhoneOut;
    o.language = job.language;
    o.seed = job.seed;
    return o;
}
