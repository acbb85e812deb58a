// Runs one conversion through the real main window, in the program's own style, as a user
// would: fills the input file and the output folder, selects the action, unchecks photos and
// logos and presses Run, then lets the event loop run until the run has ended. Reports the
// run's wall time, how often the event loop ran, how many repaints the counter got and how many
// distinct counter values the event loop saw, to show that the window stays live during a run.
// Usage: bench_window split|contacts INPUT OUTDIR [--seed N] [--no-probes]
// --no-probes leaves out the liveness probes, to check that they do not cost the run its time.
// The settings go into a temporary folder (APPDATA), never into the user's own.
#include "ui/principal.h"
#include "ui/style.h"
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMessageBox>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

int usage() {
    std::fprintf(stderr, "usage: bench_window split|contacts INPUT OUTDIR [--seed N] [--no-probes]\n");
    return 2;
}

// Sets a check box or radio button the way a click would, so its handler runs.
void clickTo(F_Principal& w, Ctrl c, bool checked) {
    auto* b = qobject_cast<QAbstractButton*>(w.control(c));
    if (b && b->isChecked() != checked && b->isEnabled())
        b->click();
    if (b && b->isChecked() != checked)
        w.setChecked(c, checked);
}

// What the command line asks for.
struct Options {
    QString action; // "split" or "contacts"
    QString input;
    QString outDir;
    quint32 seed = 1;
    bool probes = true;
};

// Reads the arguments into `options`; false when they make no valid call.
bool parseArguments(QStringList args, Options& options) {
    options.probes = !args.removeOne(QStringLiteral("--no-probes"));
    if (args.size() != 4 && args.size() != 6)
        return false;
    options.action = args.at(1);
    if (options.action != QLatin1String("split") && options.action != QLatin1String("contacts"))
        return false;
    if (args.size() == 6) {
        bool ok = false;
        options.seed = args.at(5).toUInt(&ok);
        if (args.at(4) != QLatin1String("--seed") || !ok)
            return false;
    }
    options.input = args.at(2);
    options.outDir = args.at(3);
    return true;
}

// Lets the window be laid out and painted once before the run.
void settle() {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The input file, the output folder and the action, photos and logos off, and the other
// options as the command line's defaults have them.
void fillForm(F_Principal& window, const Options& options) {
    window.setEditText(Ctrl::E_InputFiles, QFileInfo(options.input).absoluteFilePath());
    window.setEditText(Ctrl::E_RepDest, QFileInfo(options.outDir).absoluteFilePath());
    clickTo(window, options.action == QLatin1String("split") ? Ctrl::R_SVCFToMVCF : Ctrl::R_SVCFToContacts, true);
    clickTo(window, Ctrl::C_Photo, false);
    clickTo(window, Ctrl::C_Logos, false);
    clickTo(window, Ctrl::C_TagX, true);
    clickTo(window, Ctrl::C_TagSync, true);
    clickTo(window, Ctrl::C_TagLabel, true);
    clickTo(window, Ctrl::C_MyPhoneIn, false);
}

// Watches the window during the run. Probes: event-loop turns (a 5 ms timer: the run is on
// its own thread, so a zero timer would keep a core busy while the window waits, and a finer
// one would take a few percent of the run's time on two cores), the longest time between two
// turns, the counter values seen and the counter's repaints. A message box would wait for a
// user: its text is noted and it is closed.
class Watch {
public:
    Watch(F_Principal& window, bool probes) : window(window), probes(probes) {
        turnProbe.setInterval(5);
        turnProbe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&turnProbe, &QTimer::timeout, [this] { turn(); });
        if (probes)
            window.control(Ctrl::M_Compteur)->installEventFilter(&counterPaints);
        boxWatch.setInterval(50);
        QObject::connect(&boxWatch, &QTimer::timeout, [this] { closeBox(); });
    }
    void start() {
        boxWatch.start();
        if (probes)
            turnProbe.start();
        sinceTurn.start();
        wall.start();
    }
    // Stops watching; the run's wall time in milliseconds.
    qint64 stop() {
        const qint64 ms = wall.elapsed();
        turnProbe.stop();
        boxWatch.stop();
        window.control(Ctrl::M_Compteur)->removeEventFilter(&counterPaints);
        return ms;
    }

    F_Principal& window;
    const bool probes;
    qint64 turns = 0, longestGapMs = 0, firstCountMs = -1;
    QString gapEndCounter;
    QSet<QString> counterValues;
    PaintCounter counterPaints;
    QStringList boxes;

private:
    void turn() {
        ++turns;
        const QString counter = window.compteur();
        if (sinceTurn.isValid() && sinceTurn.elapsed() > longestGapMs) {
            longestGapMs = sinceTurn.elapsed();
            gapEndCounter = counter;
        }
        sinceTurn.start();
        if (firstCountMs < 0 && !counter.isEmpty())
            firstCountMs = wall.elapsed();
        counterValues.insert(counter);
    }
    void closeBox() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->done(QMessageBox::Cancel);
        }
    }

    QElapsedTimer sinceTurn;
    QElapsedTimer wall;
    QTimer turnProbe;
    QTimer boxWatch;
};

// Presses Run (its handler when the button is disabled) and lets the event loop run until the
// run has ended; whether the button was pressed.
bool runToTheEnd(F_Principal& window, Watch& watch) {
    auto* run = qobject_cast<QAbstractButton*>(window.control(Ctrl::B_go));
    const bool byButton = run && run->isEnabled();
    watch.start();
    if (byButton)
        run->click();
    else
        window.B_goClick();
    while (window.principal().isRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return byButton;
}

// The report on standard output; the exit status: 0 when the run was done without a message box.
int report(F_Principal& window, const Watch& watch, qint64 ms, bool byButton) {
    const auto outcome = window.principal().lastReport().outcome;
    std::printf("run_ms %lld\n", static_cast<long long>(ms));
    std::printf("pressed %s\n", byButton ? "button" : "handler (Run was disabled)");
    std::printf("outcome %s\n", outcome == RunReport::Outcome::Done ? "done" : "not done");
    std::printf("event_loop_turns %lld\n", static_cast<long long>(watch.turns));
    std::printf("longest_gap_ms %lld\n", static_cast<long long>(watch.longestGapMs));
    // The counter shown when the longest gap ended ("-" when it was still empty: the input was being read).
    std::printf("longest_gap_until_counter %s\n",
                watch.gapEndCounter.isEmpty() ? "-" : qPrintable(watch.gapEndCounter));
    std::printf("first_count_ms %lld\n", static_cast<long long>(watch.firstCountMs));
    std::printf("counter_repaints %d\n", watch.counterPaints.paints);
    std::printf("counter_values_seen %lld\n", static_cast<long long>(watch.counterValues.size()));
    std::printf("counter_final %s\n", qPrintable(window.compteur()));
    for (const QString& b : watch.boxes)
        std::printf("message_box %s\n", qPrintable(b));
    return outcome == RunReport::Outcome::Done && watch.boxes.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // The arguments are read before the window system is reached, so that a usage error needs
    // no display.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    Options options;
    if (!parseArguments(args, options))
        return usage();
    QTemporaryDir settings;
    if (!settings.isValid()) {
        std::fprintf(stderr, "bench_window: cannot make a temporary settings folder\n");
        return 1;
    }
    qputenv("APPDATA", QFile::encodeName(settings.path()));
    QApplication app(argc, argv);
    ApplyVisualStyle(app); // the window as its users see it, style sheet included
    F_Principal window;
    window.principal().seed = options.seed;
    if (!window.FormCreate())
        return 1;
    window.show();
    settle();
    fillForm(window, options);
    Watch watch(window, options.probes);
    const bool byButton = runToTheEnd(window, watch);
    const qint64 ms = watch.stop();
    return report(window, watch, ms, byButton);
}
