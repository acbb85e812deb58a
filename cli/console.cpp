#include "cli/console.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {
// The console behind a stream, or null when it goes to a file or a pipe.
HANDLE findConsole(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

// Looked up once: a run writes a line per card.
HANDLE g_consoles[2] = {nullptr, nullptr};

HANDLE consoleOf(std::FILE* stream) {
    return stream == stdout ? g_consoles[0] : stream == stderr ? g_consoles[1] : nullptr;
}
} // namespace

void Console::setUp() {
    // The C library may buffer standard error when it is no console: its lines would then
    // fall behind those of standard output on a shared pipe.
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    for (std::FILE* stream : {stdout, stderr}) {
        _setmode(_fileno(stream), _O_BINARY);
        const HANDLE console = findConsole(stream);
        g_consoles[stream == stdout ? 0 : 1] = console;
        if (console) {
            DWORD mode = 0;
            GetConsoleMode(console, &mode);
            SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
        }
    }
}

bool Console::write(std::FILE* stream, QStringView text) {
    const HANDLE console = consoleOf(stream);
    if (!console)
        return false;
    // What the stream still holds goes first, so that lines keep their order.
    std::fflush(stream);
    const auto* data = reinterpret_cast<const wchar_t*>(text.utf16());
    qsizetype left = text.size();
    while (left > 0) {
        DWORD done = 0;
        const DWORD chunk = DWORD(qMin<qsizetype>(left, 8192));
        if (!WriteConsoleW(console, data, chunk, &done, nullptr) || done == 0)
            break;
        data += done;
        left -= done;
    }
    return true;
}

#else

void Console::setUp() {}

bool Console::write(std::FILE*, QStringView) {
    return false;
}

#endif
