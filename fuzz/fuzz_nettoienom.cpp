// Fuzzes the name rule used for output file names and picture look-ups: the result must
// be usable as one file name inside a folder (no separator, none of the forbidden
// characters, no blank or control character at either end), and the rule must settle.
#include "fuzz_util.h"
#include "kzlex/names.h"
#include "kzlex/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Input files holding a NUL character are refused when read, so no name carries one.
    QString text = fuzzText(QByteArrayView(data, qsizetype(size)));
    text.remove(QChar(0));
    const QString name = NettoieNom(text);

    for (QChar c : QStringLiteral("\\/:*?\"<>|"))
        FUZZ_CHECK(!name.contains(c));
    if (!name.isEmpty()) {
        FUZZ_CHECK(name.front().unicode() > 0x20);
        FUZZ_CHECK(name.back().unicode() > 0x20);
    }

    const QString filtered = filtreinterdits(text);
    for (QChar c : QStringLiteral("\\/:*?\"<>|"))
        FUZZ_CHECK(!filtered.contains(c));
    FUZZ_CHECK(filtreinterdits(filtered) == filtered);

    // Text that is not Windows-1252 characters of valid UTF-8 bytes is kept as it is.
    QByteArray bytes;
    if (!Cp1252::encodeExact(text, &bytes) || !Utf8::isValid(bytes))
        FUZZ_CHECK(ReDecodeUtf8(text) == text);
    else
        FUZZ_CHECK(ReDecodeUtf8(text) == QString::fromUtf8(bytes));
    return 0;
}
