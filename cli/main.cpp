// corvanta-cli: runs one job of the Run button from the command line.
#include "cli/cliwindow.h"
#include "cli/options.h"
#include "kzmain/run.h"

#include <QCoreApplication>
#include <new>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const CliParse parsed = parseCommandLine(QCoreApplication::arguments().mid(1));
    switch (parsed.kind) {
    case CliParse::Kind::Help:
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
    CliWindow window;
    window.saveAnswer = job.output;
    window.force = job.force;
    Run run(options, window);

    // What the window's general error report would show: one error line, exit 1.
    RunReport report;
    try {
        report = run.exec();
    } catch (const KzError& e) {
        window.printError(ShownLine(e.errorLine()));
        return 1;
    } catch (const std::bad_alloc&) {
        window.printError(QStringLiteral("-> OutOfMemory Err Not enough memory to finish the run"));
        return 1;
    } catch (const std::exception& e) {
        window.printError(QStringLiteral("-> Error Err ") + QString::fromUtf8(e.what()));
        return 1;
    }
    window.finishCounter();
    // A run that finished but logged an error line ends with status 1 all the same.
    return report.succeeded() ? 0 : 1;
}
