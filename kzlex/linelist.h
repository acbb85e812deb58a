#pragma once
// An ordered list of UTF-16 lines, read from a file and written to a file in one piece; and an
// input file held as bytes, its lines decoded one at a time.
#include "kzlex/fileio.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// Called now and then during long work on a whole file (to let a window repaint); it may
// throw to stop that work.
using Progress = std::function<void()>;
// For loops over lines: calls `progress` once every 8192 calls; `count` is the loop's counter.
inline void tickProgress(const Progress& progress, qsizetype& count) {
    if ((++count & 8191) == 0 && progress)
        progress();
}

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

class LineList : public QStringList {
public:
    // How a file read through a byte-order mark is held.
    enum class LoadForm {
        Plain,    // decoded by its mark and remembered with it (settings file)
        Utf8Bytes // held as its UTF-8 bytes, one Windows-1252 character per byte (conversion inputs)
    };

    LineList() = default;
    LineList(const QStringList& lines) : QStringList(lines) {}

    // Reads the whole file; throws FileReadError (cannot open/read, NUL character) or
    // EncodingError (marked UTF-8 that is not valid UTF-8). The list is unchanged on failure.
    // `progress` is called after each block of the file.
    void LoadFromFile(const QString& fileName, LoadForm form = LoadForm::Plain, const Progress& progress = {},
                      FileAccess access = FileAccess::Quick);
    // The bytes of a file of at most `limit` bytes, read whole; nothing when it is larger.
    // Throws FileReadError as LoadFromFile does (InputText::loadBytes takes them on).
    static std::optional<QByteArray> readWhole(const QString& fileName, qint64 limit,
                                               FileAccess access = FileAccess::Quick);
    // Writes every line followed by CR LF, in the encoding read (with its mark) or in
    // Windows-1252 for a list built in memory; replaces the file only once the new one is
    // complete. Throws FileWriteError.
    void SaveToFile(const QString& fileName, FileAccess access = FileAccess::Quick) const;

    // The bytes SaveToFile would write.
    QByteArray toBytes() const;
    // Appends to `out` the bytes of the lines [from, to) as toBytes writes them, the mark
    // included when `from` is 0: a list encoded a part at a time gives the same bytes.
    void appendBytes(QByteArray& out, qsizetype from, qsizetype to) const;
    // Appends one line as a list built in memory (Windows-1252) writes it.
    static void appendAnsiLine(QByteArray& out, QStringView line);
    // The same for a line already in those bytes. Both grow `out` in place, by half at least:
    // QByteArray's own append copies a large text into a new block at every doubling.
    static void appendEncodedLine(QByteArray& out, QByteArrayView line);
    // Splits decoded text into lines at CR LF, CR and LF (no extra empty last line).
    static QStringList splitLines(const QString& text);

    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding e) { m_encoding = e; }
    // Whether the file was read through a byte-order mark: its text is Unicode, whatever its
    // lines' CHARSET parameters say.
    bool readThroughMark() const { return m_marked; }

private:
    // Reads a file whose bytes begin with a UTF-16 byte-order mark.
    void loadUtf16(const QString& fileName, QByteArray all, LoadForm form);

    TextEncoding m_encoding = TextEncoding::Ansi;
    bool m_marked = false;
};

// A conversion input read and checked as LineList::LoadFromFile(Utf8Bytes) reads it, then
// handed out a line at a time, decoded as that list holds it: a pass over a large file holds
// its bytes and one line, not a string per line. A file of many megabytes is not held whole:
// a first pass checks it, then it is read again a block at a time as its lines are taken.
class InputText {
public:
    static constexpr qint64 kStreamFrom = qint64(4) << 20;
    static constexpr qsizetype kStreamBlock = qsizetype(1) << 20;
    // How load() reads a file.
    struct Reading {
        FileAccess access = FileAccess::Quick;
        // Files of `streamFrom` bytes or more are read `block` bytes at a time as their lines are
        // taken, after a first pass that checks them (tests lower both).
        qint64 streamFrom = kStreamFrom;
        qsizetype block = kStreamBlock;
    };

    InputText();
    ~InputText();
    InputText(InputText&&) noexcept;
    InputText& operator=(InputText&&) noexcept;

    // Reads and checks the file; throws what LoadFromFile throws. `progress` is called between
    // blocks of the file.
    void load(const QString& fileName, const Progress& progress = {});
    void load(const QString& fileName, const Progress& progress, const Reading& reading);
    // The same for the bytes of a file already read (`fileName` names it in the errors).
    void loadBytes(const QString& fileName, QByteArray bytes);
    // True when the file holds no line.
    bool isEmpty() const;
    // The next line into `line` (its storage reused when it is not shared); false after the last.
    bool next(QString& line);
    // The same, as the bytes it is decoded from (valid until the text is read again, atEnd()
    // included).
    bool nextBytes(QByteArrayView& line);
    // True after the last line (a file read a block at a time may read the next block).
    bool atEnd();
    // About the number of lines of the text, for showing progress: its line feeds (counted in a
    // sample of a large text), or when it has none (old Mac files) its lines.
    qsizetype lineCountEstimate() const;
    // Back to the first line.
    void rewind();
    // Whether the file was read through a byte-order mark (UTF-8 or UTF-16).
    bool readThroughMark() const { return m_marked; }

private:
    struct Stream;
    // Takes the bytes of a file; `nulFree`: they were searched for a NUL character already.
    void take(const QString& fileName, QByteArray bytes, bool nulFree);
    // Reads a file a block at a time as its lines are taken, once a pass over it found nothing
    // wrong; held whole when that pass finds a fault (its error is then the same).
    void stream(std::unique_ptr<Stream> s, const Progress& progress);
    // The room kept between the lines of a streamed text.
    qsizetype keptRoom() const;
    // Makes the next line of a streamed file ready; false at its end.
    bool refill();

    QByteArray m_bytes;     // the text; of a streamed file, the bytes read and not taken yet
    bool m_marked = false;
    qsizetype m_begin = 0;  // first byte of the text, after a mark
    qsizetype m_next = 0;   // first byte of the next line
    qsizetype m_cut = 0;    // end of the bytes that hold whole lines
    std::unique_ptr<Stream> m_stream; // a file read a block at a time
    qsizetype m_block = kStreamBlock; // the bytes read at a time when streamed
};
