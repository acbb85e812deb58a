// Fuzzes the split action end to end: a fuzzed input file, a Run through the test window, then
// checks that nothing was written where it must not be (see convert_harness.h).
#include "convert_harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    harness::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return harness::run(harness::Action::Split, data, size);
}
