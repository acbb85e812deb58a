#include "kzlex/propertyline.h"
#include "kzlex/platform.h"

#include "kzlex/cp1252.h"
#include "kzlex/text.h"

#include <QStringDecoder>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Position of `word` (upper-case ASCII) in the text, ignoring ASCII case; -1 when absent.
qsizetype findAscii(QStringView text, std::string_view word) {
    const qsizetype n = qsizetype(word.size());
    for (qsizetype at = 0; at + n <= text.size(); ++at) {
        qsizetype k = 0;
        while (k < n && upperAscii(text[at + k].unicode()) == char16_t(word[size_t(k)]))
            ++k;
        if (k == n)
            return at;
    }
    return -1;
}

// The parameter text: what stands before the first ":"; nothing for a line without one.
QStringView parameters(QStringView line, qsizetype* colon = nullptr) {
    const qsizetype at = line.indexOf(u':');
    if (colon)
        *colon = at;
    return at < 0 ? QStringView() : line.first(at);
}

// The name that CHARSET= gives, up to the next ";" (the parameter text ends at the ":"), without
// quotes; empty when there is none.
QStringView charsetName(QStringView params) {
    const qsizetype at = findAscii(params, "CHARSET=");
    if (at < 0)
        return {};
    QStringView name = params.sliced(at + 8);
    if (const qsizetype semicolon = name.indexOf(u';'); semicolon >= 0)
        name = name.first(semicolon);
    name = name.trimmed();
    if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"')
        name = name.sliced(1, name.size() - 2);
    return name;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    c = upperAscii(c);
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Appends the byte that a character of a line stands for; a character that no byte of the code
// page gives (text made in memory) goes as its UTF-8 bytes.
void appendByteOf(QByteArray& out, QStringView text, qsizetype& i) {
    const char16_t c = text[i].unicode();
    if (const int b = Cp1252::byteOf(c); b >= 0) {
        out.append(char(b));
        return;
    }
    const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    out.append(text.sliced(i, pair ? 2 : 1).toUtf8());
    if (pair)
        ++i;
}

} // namespace

namespace PropertyLine {

bool isQuotedPrintable(QStringView line) {
    return findAscii(parameters(line), "QUOTED-PRINTABLE") >= 0;
}

bool endsInSoftBreak(QStringView line) {
    qsizetype n = line.size();
    while (n > 0 && line[n - 1].unicode() <= 0x20)
        --n;
    return n > 0 && line[n - 1] == u'=' && isQuotedPrintable(line);
}

bool joinsSoftly(QStringView line, QStringView next) {
    if (!endsInSoftBreak(line))
        return false;
    qsizetype i = 0;
    while (i < next.size() && (next[i] == u' ' || next[i] == u'\t'))
        ++i;
    if (findAscii(next.sliced(i).first(qMin<qsizetype>(9, next.size() - i)), "END:VCARD") != 0)
        return true;
    for (i += 9; i < next.size(); ++i)
        if (next[i].unicode() > 0x20)
            return true;
    return false;
}

void dropSoftBreak(QString& line) {
    qsizetype n = line.size();
    while (n > 0 && line[n - 1].unicode() <= 0x20)
        --n;
    line.truncate(n > 0 ? n - 1 : 0);
}

bool stripGroup(QString& text, qsizetype from) {
    const QStringView v = QStringView(text).sliced(from);
    qsizetype start = 0;
    while (start < v.size() && (v[start] == u' ' || v[start] == u'\t'))
        ++start;
    qsizetype dot = start;
    while (dot < v.size() && (isAsciiLetter(v[dot].unicode()) || (v[dot] >= u'0' && v[dot] <= u'9') || v[dot] == u'-'))
        ++dot;
    if (dot == start || dot + 1 >= v.size() || v[dot] != u'.' || !isAsciiLetter(v[dot + 1].unicode()))
        return false;
    if (findAscii(v.sliced(dot + 1).first(qMin<qsizetype>(9, v.size() - dot - 1)), "X-ABLABEL") == 0)
        return false; // a label line stays what it was: an unknown tag
    text.remove(from + start, dot + 1 - start);
    return true;
}

} // namespace PropertyLine

namespace {

// The decoders of the names met, shared by the thread's ValueDecoders: making one costs far more
// than decoding a value or two with it, and the merge reads each file with a ValueDecoder of its
// own. Null: a name that no decoder knows. Emptied when full, as every line may name another.
using Decoders = std::unordered_map<std::string, std::unique_ptr<QStringDecoder>>;
constexpr size_t kMostDecoders = 64;

Decoders& threadDecoders() {
#ifdef Q_OS_WIN
    // MinGW runs the destructors of thread_local objects after the thread's heap state is
    // gone, which breaks the heap: each thread's map lives on with the program.
    thread_local Decoders* decoders = new Decoders;
    return *decoders;
#else
    thread_local Decoders decoders;
    return decoders;
#endif
}

} // namespace

ValueDecoder::ValueDecoder(bool charsets) : m_charsets(charsets) {}

ValueDecoder::~ValueDecoder() = default;

QStringDecoder* ValueDecoder::decoderFor(QStringView name) {
    Decoders& decoders = threadDecoders();
    std::string key = name.toLatin1().toLower().toStdString();
    auto it = decoders.find(key);
    if (it == decoders.end()) {
        if (decoders.size() >= kMostDecoders)
            decoders.clear();
        auto decoder = std::make_unique<QStringDecoder>(name.toLatin1().constData());
        // UTF-8 and ASCII bytes are read as every UTF-8 line is, later on.
        const QByteArrayView known(decoder->isValid() ? decoder->name() : "");
        if (known.isEmpty() || known == "UTF-8" || known == "US-ASCII")
            decoder.reset();
        it = decoders.emplace(std::move(key), std::move(decoder)).first;
    }
    return it->second.get();
}

bool ValueDecoder::decode(QString& text, qsizetype from) {
    const QStringView line = QStringView(text).sliced(from);
    qsizetype colon = -1;
    const QStringView params = parameters(line, &colon);
    if (colon < 0)
        return false;
    const bool qp = findAscii(params, "QUOTED-PRINTABLE") >= 0;
    QStringDecoder* charset = nullptr;
    unsigned codePage = 0; // a name that only the system knows
    if (m_charsets)
        if (const QStringView name = charsetName(params); !name.isEmpty())
            if (!(charset = decoderFor(name)))
                codePage = Platform::codePageFor(name);
    if (!qp && !charset && !codePage)
        return false;

    const QStringView value = line.sliced(colon + 1);
    QByteArray bytes;
    bytes.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        int hi = -1, lo = -1;
        if (qp && value[i] == u'=' && i + 2 < value.size() && (hi = hexDigit(value[i + 1].unicode())) >= 0 &&
            (lo = hexDigit(value[i + 2].unicode())) >= 0) {
            bytes.append(char(hi * 16 + lo));
            i += 2;
        } else {
            appendByteOf(bytes, value, i);
        }
    }
    if (charset) {
        charset->resetState();
        const QString text = charset->decode(bytes);
        bytes = text.toUtf8();
    } else if (codePage) {
        bytes = Platform::decodeCodePage(codePage, bytes).toUtf8();
    }
    text.truncate(from + colon + 1);
    text.append(Cp1252::decode(bytes));
    return true;
}
