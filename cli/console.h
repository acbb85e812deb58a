#pragma once
// Text for standard output and error. Files and pipes get UTF-8 bytes with "\n" line ends on
// every system; a Windows console gets the text through the console's own UTF-16 call, since
// its code page is rarely UTF-8.
#include <QStringView>
#include <cstdio>

namespace Console {

// Puts standard output and error in binary mode (no "\r" added before "\n" on Windows) and
// lets a Windows console obey the counter's escape sequences. Call once, first thing.
void setUp();

// Writes `text` to `stream` when the stream is a Windows console, and returns true; returns
// false (nothing written) for anything else, which the caller writes as UTF-8 bytes.
bool write(std::FILE* stream, QStringView text);

} // namespace Console
