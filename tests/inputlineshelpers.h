#pragma once
// Helpers shared by the tests and the fuzz target of the input passes: choosing the passes by
// bits, and reading the lines as a conversion takes them.
#include "kzlex/cp1252.h"
#include "kzlex/inputlines.h"

namespace helpers {

// The passes that the bits 1, 2 and 4 choose, in the order the conversions run them.
inline InputLines::Passes passesOf(int bits) {
    InputLines::Passes passes;
    passes.myPhone = bits & 1;
    passes.google = bits & 2;
    passes.xsync = bits & 4;
    return passes;
}

// The lines of `lines`, those it hands on as their bytes decoded as a conversion would.
inline QStringList drainPeeking(InputLines& lines) {
    QStringList out;
    for (QString line;;) {
        if (const QByteArrayView* bytes = lines.peekPlain()) {
            out << Cp1252::decode(*bytes);
            lines.skip();
        } else if (lines.next(line)) {
            out << line;
        } else {
            break;
        }
    }
    return out;
}

} // namespace helpers
