#pragma once
// What a run shows: the processed-files list, the log, the counter and the share of the input
// done. A run only reports: it asks nothing and waits for nothing. The window (through a worker
// thread's batches), the command line and the tests' fake each implement it.
#include "kzlex/shownline.h"
#include "kzmain/lineblock.h"

#include <QString>
#include <QStringList>

#include <vector>

class RunSink {
public:
    virtual ~RunSink() = default;

    // The three outputs, emptied in this order when the work starts.
    virtual void clearCompteur() = 0;
    virtual void clearMemo() = 0;
    virtual void clearLog() = 0;
    virtual void appendMemo(const QString& line) = 0;
    virtual void appendLog(const QString& line) = 0;
    virtual void setCompteur(const QString& text) = 0;
    // An unknown-tag notice of the log, or its echo of the input line: a front end may hide them
    // to show the errors only.
    virtual void appendLogNotice(const QString& line) { appendLog(line); }
    // A block of lines at once (a front end that shows batches may take them in one go, and
    // keep the block as it is). A log line's kind is in `notices`, one flag per line; a line
    // without one is not a notice, as the window's views take it.
    virtual void appendMemoLines(LineBlock lines) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            appendMemo(lines.at(i).toString());
    }
    virtual void appendLogLines(LineBlock lines, const std::vector<bool>& notices) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            size_t(i) < notices.size() && notices[size_t(i)] ? appendLogNotice(lines.at(i).toString())
                                                             : appendLog(lines.at(i).toString());
    }

    // Whether the front end shows the share of the input done; the run then counts the input's
    // lines first.
    virtual bool showsProgress() const { return false; }
    // `done` of `total` (input lines; files for the merge): at the start, every few hundredths of
    // the input, and at the end of a run that reached it.
    virtual void setProgress(qint64 /*done*/, qint64 /*total*/) {}
};

// The sink as a run reaches it: every list and log line leaves as ShownLine makes it (one line,
// no control character), whatever it echoes; the rest goes through as it is.
class ShownLinesSink : public RunSink {
public:
    explicit ShownLinesSink(RunSink& sink) : m_sink(sink) {}

    void clearCompteur() override { m_sink.clearCompteur(); }
    void clearMemo() override { m_sink.clearMemo(); }
    void clearLog() override { m_sink.clearLog(); }
    void appendMemo(const QString& line) override { m_sink.appendMemo(ShownLine(line)); }
    void appendLog(const QString& line) override { m_sink.appendLog(ShownLine(line)); }
    void appendLogNotice(const QString& line) override { m_sink.appendLogNotice(ShownLine(line)); }
    void setCompteur(const QString& text) override { m_sink.setCompteur(text); }
    bool showsProgress() const override { return m_sink.showsProgress(); }
    void setProgress(qint64 done, qint64 total) override { m_sink.setProgress(done, total); }

private:
    RunSink& m_sink;
};
