// Fuzzes the merge action end to end: a fuzzed input file, a Run through the test window, then
// checks that nothing was written where it must not be (see convert_harness.h). Then the first
// card of the input, encoded as it goes (continuation lines copied as bytes), must give the bytes
// that the same card gives with its lines kept in the merged list.
#include "convert_harness.h"

namespace {

void encodedMatchesList(const uint8_t* data, size_t size) {
    FuzzBytes in(data, size);
    const uint8_t options = in.byte();
    const QByteArray bytes = in.rest().toByteArray();
    InputText listed, encodedText;
    try {
        listed.loadBytes(QStringLiteral("in.vcf"), bytes);
        encodedText.loadBytes(QStringLiteral("in.vcf"), bytes);
    } catch (const KzError&) {
        return; // a NUL or bad marked text: refused before any line is read
    }

    FakeWindow w;
    RunOptions o;
    o.action = ::Action::Merge;
    o.dropX = options & 4;
    o.dropSync = options & 8;
    Run fromList(o, w), fromText(o, w);
    LineList outList, outText;
    fromList.TraitementMVCFToSVCF(listed, outList, nullptr);
    QByteArray encoded;
    fromText.TraitementMVCFToSVCF(encodedText, outText, &encoded);
    outText.appendBytes(encoded, 0, outText.size());
    FUZZ_CHECK(encoded == outList.toBytes());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int result = harness::run(harness::Action::Merge, data, size);
    encodedMatchesList(data, size);
    return result;
}
