#pragma once
// What a run shows, on the command line: the processed-files list goes to standard output, the
// log and the front end's messages to standard error (the counter too, when it is a terminal).
#include "kzmain/runsink.h"
#include <QElapsedTimer>
#include <cstdio>

class CliSink : public RunSink {
public:
    CliSink();
    ~CliSink() override;

    // Writes one line on standard error (through standard output's buffer when both are one file
    // or pipe), clearing the counter line first if it is shown.
    void printError(const QString& line);
    // Ends the counter line, if one is shown.
    void finishCounter();

    void clearCompteur() override { m_counter.clear(); }
    void clearMemo() override {}
    void clearLog() override {}
    void appendMemo(const QString& line) override;
    void appendLog(const QString& line) override;
    void setCompteur(const QString& text) override;

private:
    void drawCounter();
    void hideCounter();

    QString m_counter;
    bool m_tty = false;       // standard error is a terminal: the counter is shown
    bool m_stdoutTty = false; // standard output is on a terminal too
    // Standard output and error: different files (both buffered), one file (the log goes to
    // standard output), or a terminal among them.
    enum class Outputs { Other, Separate, Shared };
    static Outputs outputs();
    Outputs m_outputs = Outputs::Other;
    bool m_counterShown = false;
    QElapsedTimer m_sinceDraw;
};

// Writes text and a line feed as UTF-8; nothing once a write on `stream` failed.
void writeLine(std::FILE* stream, const QString& line);
// The system's reason (errno) for the first line that writeLine could not write on `stream`,
// standard output or standard error; 0 when none failed.
int writeFailure(std::FILE* stream);
