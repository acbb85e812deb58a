#pragma once
// An ordered list of UTF-16 lines, read from a file and written to a file in one piece.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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
    void LoadFromFile(const QString& fileName, LoadForm form = LoadForm::Plain, const Progress& progress = {});
    // The same for the bytes of a file already read (`fileName` names it in the errors).
    void LoadFromBytes(const QString& fileName, QByteArray bytes, LoadForm form = LoadForm::Plain);
    // The bytes of a file of at most `limit` bytes, read whole; nothing when it is larger.
    // Throws FileReadError as LoadFromFile does.
    static std::optional<QByteArray> readWhole(const QString& fileName, qint64 limit);
    // Writes every line followed by CR LF, in the encoding read (with its mark) or in
    // Windows-1252 for a list built in memory; replaces the file only once the new one is
    // complete. Throws FileWriteError.
    void SaveToFile(const QString& fileName) const;

    // The bytes SaveToFile would write.
    QByteArray toBytes() const;
    // Appends to `out` the bytes of the lines [from, to) as toBytes writes them, the mark
    // included when `from` is 0: a list encoded a part at a time gives the same bytes.
    void appendBytes(QByteArray& out, qsizetype from, qsizetype to) const;
    // Splits decoded text into lines at CR LF, CR and LF (no extra empty last line).
    static QStringList splitLines(const QString& text);

    TextEncoding encoding() const { return m_encoding; }
    void setEncoding(TextEncoding e) { m_encoding = e; }

private:
    // Decodes `buf`, which readBlock() fills a block at a time until it returns true (the end).
    void decodeBlocks(const QString& fileName, LoadForm form, const Progress& progress, qint64 fileSize,
                      QByteArray& buf, const std::function<bool()>& readBlock);

    TextEncoding m_encoding = TextEncoding::Ansi;
};
