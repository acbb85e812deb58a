// Fuzzes the dialect passes and the X-SYNC removal on a list of lines, and the same passes
// applied a line at a time. The first byte picks the passes (in the order the conversions
// run them), the second may repeat the text many
// times so that work growing faster than the list shows up as a time-out.
#include "fuzz_util.h"
#include "kzlex/cp1252.h"
#include "kzlex/inputlines.h"
#include "kzlex/passes.h"

namespace {
// The passes that the bits 1, 2 and 4 choose, in the order the conversions run them.
InputLines::Passes chosenPasses(uint8_t passes) {
    InputLines::Passes chosen;
    chosen.myPhone = passes & 1;
    chosen.google = passes & 2;
    chosen.xsync = passes & 4;
    return chosen;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const uint8_t passes = in.byte();
    const uint8_t repeat = in.byte();
    QString text = fuzzText(in.rest());
    if (repeat % 8 == 7 && !text.isEmpty())
        text = text.repeated(qBound(1, int(200000 / text.size()), 200));

    LineList T(LineList::splitLines(text));
    const qsizetype lines = T.size();
    qsizetype lineChars = 0;
    for (const QString& l : T)
        lineChars += l.size();

    if (passes & 1)
        PreTraitementMyPhone(T);
    if (passes & 2) {
        const qsizetype before = T.size();
        PreTraitementGoogle(T);
        FUZZ_CHECK(T.size() == before);
    }
    if (passes & 4) {
        const qsizetype before = T.size();
        ElimineXSync(T);
        FUZZ_CHECK(T.size() == before);
    }
    if (passes & 8) {
        PostTraitementMyPhone(T);
        // One empty line at most is added per photo block.
        FUZZ_CHECK(T.size() <= 2 * (lines + 1));
    }
    if (passes == 0) {
        // Each pass alone, from the same list.
        LineList a(LineList::splitLines(text)), b(a), c(a);
        PreTraitementMyPhone(a);
        FUZZ_CHECK(a.size() <= lines);
        PreTraitementGoogle(b);
        FUZZ_CHECK(b.size() == lines);
        PostTraitementMyPhone(c);
    }
    if (!(passes & 8)) {
        // Handed on a line at a time, the lines come out as the list passes leave them.
        LineList source(LineList::splitLines(text));
        InputLines one(source, chosenPasses(passes));
        QStringList got;
        QString line;
        while (one.next(line))
            got << line;
        FUZZ_CHECK(got == T);
    }
    if (!(passes & 8)) {
        // From the text's Windows-1252 bytes: the lines handed on as their bytes, as a conversion
        // copies them, decode to the lines that the passes leave.
        const QByteArray bytes = Cp1252::encode(text);
        if (!bytes.contains('\0') && !bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFF\xFE") &&
            !bytes.startsWith("\xFE\xFF")) {
            LineList expected(LineList::splitLines(Cp1252::decode(bytes)));
            if (passes & 1)
                PreTraitementMyPhone(expected);
            if (passes & 2)
                PreTraitementGoogle(expected);
            if (passes & 4)
                ElimineXSync(expected);
            InputText source;
            source.loadBytes(QStringLiteral("fuzz.vcf"), bytes);
            InputLines one(source, chosenPasses(passes));
            QStringList got;
            for (QString line;;) {
                if (const QByteArrayView* plain = one.peekPlain()) {
                    got << Cp1252::decode(*plain);
                    one.skip();
                } else if (one.next(line)) {
                    got << line;
                } else {
                    break;
                }
            }
            FUZZ_CHECK(got == QStringList(expected));
        }
    }
    qsizetype outChars = 0;
    for (const QString& l : T)
        outChars += l.size();
    // The rewrites grow a line by a bounded factor ("\n" -> "=0A", one "=" per line).
    FUZZ_CHECK(outChars <= 2 * lineChars + 2 * T.size() + 2);
    return 0;
}
