// corvanta-cli: runs one job of the Run button from the command line.
#include "cli/clisink.h"
#include "cli/console.h"
#include "cli/options.h"
#include "kzlex/platform.h"
#include "kzmain/run.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <new>

namespace {

// The exit status once the streams are flushed: a list or log that could not be written whole
// (a closed pipe, a file-size limit) is said on standard error while it still takes lines, and
// ends the run with status 1.
int finishStreams(int status) {
    errno = 0;
    const bool outLost = std::fflush(stdout) != 0 || std::ferror(stdout);
    const int reason = writeFailure(stdout) != 0 ? writeFailure(stdout) : errno;
    if (outLost && !std::ferror(stderr))
        writeLine(stderr, QStringLiteral("corvanta-cli: cannot write to standard output") +
                              (reason != 0 ? QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(reason))
                                           : QString()));
    const bool errLost = std::fflush(stderr) != 0 || std::ferror(stderr);
    return outLost || errLost ? 1 : status;
}

} // namespace

int main(int argc, char* argv[]) {
    // A reader that goes away (`| head`) or a file-size limit makes writes fail: the run goes on
    // and reports it, rather than ending half-way without a word.
    Platform::reportWriteSignalsAsErrors();
    Console::setUp();
    QCoreApplication app(argc, argv);
    const CliParse parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    switch (parsed.kind) {
    case CliParse::Kind::Help:
        if (!Console::write(stdout, usageText()))
            std::fputs(usageText().toUtf8().constData(), stdout);
        return 0;
    case CliParse::Kind::Version:
        writeLine(stdout, QStringLiteral("corvanta-cli " CORVANTA_VERSION));
        return 0;
    case CliParse::Kind::Usage:
        writeLine(stderr, QStringLiteral("corvanta-cli: ") + parsed.error);
        writeLine(stderr, QStringLiteral("Try 'corvanta-cli --help'."));
        return 2;
    case CliParse::Kind::Run:
        break;
    }

    const CliJob& job = parsed.job;
    RunOptions options = runOptions(job);
    options.creationTime = sourceDateEpoch(qgetenv("SOURCE_DATE_EPOCH"));
    CliSink sink;
    Run run(options, sink);

    // What the window's general error report would show: one error line, exit 1.
    RunReport report;
    try {
        report = run.exec();
    } catch (const KzError& e) {
        sink.printError(ShownLine(e.errorLine()));
        return finishStreams(1);
    } catch (const std::bad_alloc&) {
        sink.printError(QStringLiteral("-> OutOfMemory Err Not enough memory to finish the run"));
        return finishStreams(1);
    } catch (const std::exception& e) {
        sink.printError(QStringLiteral("-> Error Err ") + QString::fromUtf8(e.what()));
        return finishStreams(1);
    }
    // A failed check (an existing OUTFILE without --force among them) is its message alone.
    if (report.outcome == RunReport::Outcome::CheckFailed)
        sink.printError(report.checkMessage);
    sink.finishCounter();
    // A run that finished but logged an error line ends with status 1 all the same.
    return finishStreams(report.succeeded() ? 0 : 1);
}
