// Fuzzes the input passes as the conversions run them, a line at a time through InputLines, and
// the MyPhoneExplorer output pass on a list of lines. The first byte picks the passes (in the
// order the conversions run them), the second may repeat the text many times so that work
// growing faster than the input shows up as a time-out.
#include "fuzz_util.h"
#include "inputlineshelpers.h"
#include "kzlex/cp1252.h"
#include "kzlex/passes.h"

using helpers::passesOf;

namespace {

// The lines that InputLines hands on from a list in memory.
LineList handedOn(LineList list, uint8_t passes) {
    InputLines lines(list, passesOf(passes));
    LineList out;
    for (QString line; lines.next(line);)
        out << line;
    return out;
}

// The lines that InputLines hands on from a file's bytes, those it hands on as their bytes
// decoded as a conversion copies them.
QStringList handedOnFromBytes(const QByteArray& bytes, uint8_t passes) {
    InputText source;
    source.loadBytes(QStringLiteral("fuzz.vcf"), bytes);
    InputLines lines(source, passesOf(passes));
    return helpers::drainPeeking(lines);
}

// Each pass alone, then one after the other over what the one before handed on: the passes
// chosen together give the same lines.
void checkPassesApart(const LineList& source, uint8_t passes, const LineList& together) {
    if (passes == 0) {
        FUZZ_CHECK(handedOn(source, 1).size() <= source.size());
        FUZZ_CHECK(handedOn(source, 2).size() == source.size());
        FUZZ_CHECK(handedOn(source, 4).size() == source.size());
        return;
    }
    LineList chained = source;
    for (uint8_t bit : {uint8_t(1), uint8_t(2), uint8_t(4)})
        if (passes & bit)
            chained = handedOn(chained, bit);
    FUZZ_CHECK(chained == together);
}

// From the text's Windows-1252 bytes, the lines come out as they do from the decoded lines.
void checkFromBytes(const QString& text, uint8_t passes) {
    const QByteArray bytes = Cp1252::encode(text);
    if (bytes.contains('\0') || bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
        bytes.startsWith("\xFE\xFF"))
        return;
    const LineList expected = handedOn(LineList::splitLines(Cp1252::decode(bytes)), passes);
    FUZZ_CHECK(handedOnFromBytes(bytes, passes) == QStringList(expected));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const uint8_t passes = in.byte();
    const uint8_t repeat = in.byte();
    QString text = fuzzText(in.rest());
    if (repeat % 8 == 7 && !text.isEmpty())
        text = text.repeated(qBound(1, int(200000 / text.size()), 200));

    const LineList source(LineList::splitLines(text));
    const qsizetype lines = source.size();
    qsizetype lineChars = 0;
    for (const QString& l : source)
        lineChars += l.size();

    LineList T = handedOn(source, passes & 7);
    // The MyPhoneExplorer pass drops lines; the others keep every line.
    FUZZ_CHECK((passes & 1) ? T.size() <= lines : T.size() == lines);
    checkPassesApart(source, passes & 7, T);
    checkFromBytes(text, passes & 7);
    if (passes & 8) {
        PostTraitementMyPhone(T);
        // One empty line at most is added per photo block.
        FUZZ_CHECK(T.size() <= 2 * (lines + 1));
    }
    if (passes == 0) {
        LineList c(source);
        PostTraitementMyPhone(c);
    }
    qsizetype outChars = 0;
    for (const QString& l : T)
        outChars += l.size();
    // The rewrites grow a line by a bounded factor ("\n" -> "=0A", one "=" per line).
    FUZZ_CHECK(outChars <= 2 * lineChars + 2 * T.size() + 2);
    return 0;
}
