#pragma once
// The unfolded lines of an input (a line joined with the blank-led lines that continue it, and
// a quoted-printable line with the lines after its soft line breaks),
// made on a thread of their own, ahead of the conversion that reads them: decoding, the input
// passes and the unfolding run beside the conversion.
#include "kzlex/inputlines.h"
#include "kzlex/workqueue.h"

#include <exception>
#include <functional>
#include <vector>

class UnfoldAhead {
public:
    // A step applied to each unfolded line on the reading thread: the line is `text` from `from`
    // to its end, to be changed in place; false drops it (next() never hands it out).
    using LineStep = std::function<bool(QString& text, qsizetype from)>;

    // Reads `lines` from where they stand; they are not to be used elsewhere until the end. With
    // Threading::Caller, or when no thread can be started, next() unfolds them itself. `fault` is
    // called by the reading thread before it hands on each batch.
    explicit UnfoldAhead(InputLines& lines, LineStep step = {}, Threading threading = Threading::Own,
                         FaultHook fault = {});
    // Stops the thread; lines made and not taken are dropped.
    ~UnfoldAhead();
    UnfoldAhead(const UnfoldAhead&) = delete;
    UnfoldAhead& operator=(const UnfoldAhead&) = delete;

    // The next unfolded line into `line` (its storage reused), and in `number` the input line
    // (from 1, as InputLines hands them out) where it begins; false after the last. Throws what
    // reading the input threw, at its place, and what ended the reading thread after the lines
    // made before it.
    bool next(QString& line, qsizetype& number);

private:
    // Unfolded lines one after the other in one text: line k ends at ends[k].
    struct Batch {
        QString text;
        std::vector<qsizetype> ends;
        std::vector<qsizetype> numbers;
        size_t taken = 0;
        std::exception_ptr failure; // after the lines, when reading failed there
        bool last = false;          // nothing follows
    };
    // The reading thread's work: makes every batch.
    void run();
    // Fills `batch` with the next lines (at most a batch's worth); false when the input ended.
    bool fill(Batch& batch);
    // Fills `batch`, a reading failure included.
    void make(Batch& batch);
    // The next batch into m_current, made by the thread or here.
    void nextBatch();

    InputLines& m_lines;
    LineStep m_step;
    FaultHook m_fault;
    // The reading side's state: the line read ahead of the one being unfolded.
    QString m_suivante;
    bool m_reste = false;
    qsizetype m_lu = 0; // lines read so far

    Batch m_current;
    Handback<Batch> m_spares; // emptied batches, their room kept for the next ones
    WorkQueue<Batch> m_queue;
};
