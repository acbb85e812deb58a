// Fuzzes reading a file of arbitrary bytes into a LineList, in both forms: a failure must be
// one of the toolkit's errors with the list untouched; a success must give back the bytes
// (line breaks made CR LF) when the list is written again. Read as input text, the file gives
// the lines (or the error) of the conversions' list form.
#include "fuzz_util.h"
#include "kzlex/errors.h"
#include "kzlex/linelist.h"
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir* workDir = nullptr;

// The bytes a file without mark gives back once every line ends in CR LF.
QByteArray normalised(QByteArrayView in) {
    QByteArray out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' || in[i] == '\r') {
            out += in.sliced(start, i - start);
            out += "\r\n";
            if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
            else if (in[i] == '\r' && i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n')
                i += 2; // CR CR LF ends one line
            start = i + 1;
        }
    }
    if (start < in.size()) {
        out += in.sliced(start);
        out += "\r\n";
    }
    return out;
}

bool startsWith(QByteArrayView b, QByteArrayView mark) {
    return b.size() >= mark.size() && b.first(mark.size()) == mark;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    workDir = new QTemporaryDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    const QString path = workDir->filePath(QStringLiteral("in.vcf"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(f.write(bytes.data(), bytes.size()) == bytes.size());
    }
    const bool utf8Mark = startsWith(bytes, "\xEF\xBB\xBF");
    const bool utf16Mark = !utf8Mark && (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF"));
    const bool hasNul = bytes.contains('\0');

    // Read as input text, a line at a time: the lines of the list form, or its error. Read a
    // few bytes at a time, as a large file is: the same lines, or the same error.
    auto readText = [&](QStringList& lines, QString& error, const InputText::Reading& reading = {}) {
        try {
            InputText text;
            text.load(path, {}, reading);
            QString line;
            while (text.next(line))
                lines << line;
        } catch (const KzError& e) {
            error = e.errorLine();
        }
    };
    QStringList textLines, streamed;
    QString textError, streamedError;
    readText(textLines, textError);
    readText(streamed, streamedError, InputText::Reading{FileAccess::Quick, 0, 1 + qsizetype(size % 5)});
    FUZZ_CHECK(streamed == textLines && streamedError == textError);

    for (auto form : {LineList::LoadForm::Plain, LineList::LoadForm::Utf8Bytes}) {
        LineList T;
        T.append(QStringLiteral("sentinel"));
        try {
            T.LoadFromFile(path, form);
            if (form == LineList::LoadForm::Utf8Bytes)
                FUZZ_CHECK(textError.isEmpty() && textLines == T);
        } catch (const KzError& e) {
            if (form == LineList::LoadForm::Utf8Bytes)
                FUZZ_CHECK(textError == e.errorLine());
            FUZZ_CHECK(T.size() == 1 && T[0] == QLatin1String("sentinel"));
            FUZZ_CHECK(e.message().contains(path));
            FUZZ_CHECK(e.kind() == QLatin1String("FileReadError") || e.kind() == QLatin1String("EncodingError"));
            // Only a NUL, marked text that does not decode, or UTF-16 may fail.
            FUZZ_CHECK(hasNul || utf8Mark || utf16Mark);
            continue;
        }
        for (const QString& line : T) {
            FUZZ_CHECK(!line.contains(QChar(0)));
            FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));
        }
        if (!utf8Mark && !utf16Mark) {
            // No mark: every byte is one character, and the bytes come back unchanged.
            FUZZ_CHECK(!hasNul);
            FUZZ_CHECK(T.encoding() == TextEncoding::Ansi);
            FUZZ_CHECK(T.toBytes() == normalised(bytes));
        }
        if (form == LineList::LoadForm::Utf8Bytes && utf8Mark) {
            // Held as the UTF-8 bytes after the mark, one character per byte.
            LineList copy(T);
            copy.setEncoding(TextEncoding::Ansi);
            FUZZ_CHECK(copy.toBytes() == normalised(bytes.sliced(3)));
        }
        if (form == LineList::LoadForm::Plain) {
            // Written out and read back, the list is the same.
            const QString out = workDir->filePath(QStringLiteral("out.vcf"));
            T.SaveToFile(out);
            QFile f(out);
            FUZZ_CHECK(f.open(QIODevice::ReadOnly));
            FUZZ_CHECK(f.readAll() == T.toBytes());
            LineList back;
            back.LoadFromFile(out);
            FUZZ_CHECK(back == T);
            // An empty list is written as zero bytes, without the mark of its encoding.
            FUZZ_CHECK(back.encoding() == T.encoding() || T.isEmpty());
        }
    }
    return 0;
}
