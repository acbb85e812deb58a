#include "kzmain/contactids.h"

#include <chrono>

quint32 ElementIds::drawBelow(quint32 n) {
    m_state = m_state * 134775813u + 1u;
    return quint32((quint64(n) * m_state) >> 32);
}

QString ElementIds::next() {
    QString id(36, Qt::Uninitialized);
    into(reinterpret_cast<char16_t*>(id.data()));
    return id;
}

void ElementIds::into(char16_t* out) {
    // Eight draws of four upper-case hex digits: XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX.
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    for (int k = 0; k < 8; ++k) {
        if (k >= 2 && k <= 5)
            *out++ = u'-';
        const quint32 v = drawBelow(65535);
        *out++ = digits[(v >> 12) & 0xF];
        *out++ = digits[(v >> 8) & 0xF];
        *out++ = digits[(v >> 4) & 0xF];
        *out++ = digits[v & 0xF];
    }
}

quint32 ElementIds::clockSeed() {
    // The low 32 bits of the monotonic clock in nanoseconds differ on every call.
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    return quint32(quint64(ns));
}
