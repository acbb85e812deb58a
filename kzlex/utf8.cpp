#include "kzlex/utf8.h"

#include <cstdint>
#include <cstring>

namespace Utf8 {

qsizetype firstInvalid(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time.
        if (n - i >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if ((w & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned char lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90; // overlong
            else if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        } else {
            return i;
        }
        if (i + 1 >= n || p[i + 1] < lo || p[i + 1] > hi)
            return i;
        for (int k = 2; k < len; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += len;
    }
    return -1;
}

} // namespace Utf8
