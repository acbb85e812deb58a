#include "cli/clisink.h"
#include "cli/console.h"

#include "kzlex/text.h"

#include <QScopeGuard>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#define CORVANTA_ISATTY _isatty
#define CORVANTA_FILENO _fileno
#else
#include <sys/stat.h>
#include <unistd.h>
#define CORVANTA_ISATTY isatty
#define CORVANTA_FILENO fileno
#endif

namespace {
// The counter line is redrawn at most this often, so that a long run is not slowed by it.
constexpr qint64 CounterIntervalMs = 100;
} // namespace

namespace {
// The system's reason for the first write that failed on standard output and on standard error.
int g_failure[2] = {0, 0};
int& failureOf(std::FILE* stream) {
    return g_failure[stream == stdout ? 0 : 1];
}
} // namespace

int writeFailure(std::FILE* stream) {
    return failureOf(stream);
}

void writeLine(std::FILE* stream, const QString& line) {
    // A stream that failed (its reader went away) takes no more lines; the run goes on.
    if (std::ferror(stream))
        return;
    // Its reason is kept, to be told at the end.
    const auto failed = qScopeGuard([stream] {
        if (std::ferror(stream) && failureOf(stream) == 0)
            failureOf(stream) = errno;
    });
    if (Console::write(stream, line) && Console::write(stream, u"\n"))
        return;
    // A run logs a few lines per card, most of them ASCII: those are narrowed into a buffer kept
    // for the next line, without a string made for each.
    static thread_local QByteArray ascii;
    if (asciiRunLength(line) == line.size()) {
        ascii.resize(line.size() + 1);
        std::copy_n(line.utf16(), line.size(), ascii.data());
        ascii[line.size()] = '\n';
        std::fwrite(ascii.constData(), 1, size_t(ascii.size()), stream);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
}

// Where standard output and standard error go, when neither is a terminal: two different files
// or pipes (their lines cannot interleave, so each can be written in large blocks), or one
// (`> log 2>&1`: the log then goes through standard output's buffer, which keeps every line in
// its place without a system call for each).
CliSink::Outputs CliSink::outputs() {
#ifdef Q_OS_WIN
    return Outputs::Other;
#else
    const int out = CORVANTA_FILENO(stdout), err = CORVANTA_FILENO(stderr);
    if (CORVANTA_ISATTY(out) || CORVANTA_ISATTY(err))
        return Outputs::Other;
    struct stat outInfo = {};
    struct stat errInfo = {};
    if (fstat(out, &outInfo) != 0 || fstat(err, &errInfo) != 0)
        return Outputs::Other;
    return outInfo.st_dev != errInfo.st_dev || outInfo.st_ino != errInfo.st_ino ? Outputs::Separate : Outputs::Shared;
#endif
}

CliSink::CliSink()
    : m_tty(CORVANTA_ISATTY(CORVANTA_FILENO(stderr)) != 0),
      m_stdoutTty(m_tty && CORVANTA_ISATTY(CORVANTA_FILENO(stdout)) != 0), m_outputs(outputs()) {
    // Standard error is unbuffered by default: a log line per card would cost two system calls.
    if (m_outputs == Outputs::Separate)
        std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
}

CliSink::~CliSink() {
    finishCounter();
}

void CliSink::hideCounter() {
    if (!m_counterShown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_counterShown = false;
}

void CliSink::appendMemo(const QString& line) {
    // The counter shares the terminal only when standard output is on it too.
    if (!m_stdoutTty || !m_counterShown) {
        writeLine(stdout, line);
        return;
    }
    hideCounter();
    writeLine(stdout, line);
    std::fflush(stdout);
    drawCounter();
}

void CliSink::printError(const QString& line) {
    hideCounter();
    if (m_outputs == Outputs::Shared) {
        writeLine(stdout, line);
        return;
    }
    // Lines on one terminal keep their order.
    if (m_outputs != Outputs::Separate)
        std::fflush(stdout);
    writeLine(stderr, line);
}

void CliSink::setCompteur(const QString& text) {
    m_counter = text;
    if (!m_tty)
        return;
    if (!m_sinceDraw.isValid() || m_sinceDraw.elapsed() >= CounterIntervalMs)
        drawCounter();
}

void CliSink::drawCounter() {
    std::fputs("\r\033[K", stderr);
    if (!Console::write(stderr, m_counter)) {
        const QByteArray bytes = m_counter.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
    std::fflush(stderr);
    m_counterShown = true;
    m_sinceDraw.start();
}

void CliSink::finishCounter() {
    if (!m_tty || m_counter.isEmpty() || !m_sinceDraw.isValid())
        return;
    // Shows the last value, then leaves the line.
    std::fflush(stdout);
    drawCounter();
    std::fputc('\n', stderr);
    m_counterShown = false;
    m_counter.clear();
}

void CliSink::appendLog(const QString& line) {
    printError(line);
}
