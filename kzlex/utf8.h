#pragma once
// Strict UTF-8 checking (no overlong forms, no surrogates, nothing above U+10FFFF).
#include <QByteArrayView>

namespace Utf8 {
// The offset of the first byte that does not start or continue a valid sequence, or -1
// when every byte is valid UTF-8.
qsizetype firstInvalid(QByteArrayView bytes);
inline bool isValid(QByteArrayView bytes) {
    return firstInvalid(bytes) < 0;
}
} // namespace Utf8
