#include "kzlex/platform.h"

#include <QtGlobal>

#include <atomic>
#include <utility>

#ifdef Q_OS_WIN
#include <QString>
#include <io.h>
#include <windows.h>
#endif

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

#ifdef Q_OS_LINUX

namespace {

// linkat refused to link a descriptor by itself: the /proc name is used from then on.
std::atomic<bool> g_emptyPathRefused{false};

// The last folder whose file system refused unnamed files: a run writes thousands of files
// into one folder, and each would ask again.
thread_local QByteArray t_refusedFolder;

// The folder that a KeptFolder of this thread holds open: its path as createComplete was given
// it, and a descriptor of it (-1 when it could not be opened).
struct OpenFolder {
    QByteArray path;
    int fd = -1;
};
thread_local OpenFolder* t_kept = nullptr;

bool writeAll(int fd, const char* p, qsizetype n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, size_t(qMin<qsizetype>(n, qsizetype(1) << 30)));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= done;
    }
    return true;
}

// Where a new file is made and named: the folder's path and the full name or, in a kept
// folder, the folder's descriptor and the bare name, so that its path is not looked up again
// for every file.
struct Target {
    int at;
    const char* where;
    const char* name;
};

Target targetFor(const QByteArray& folder, const QByteArray& nativeName, qsizetype slash) {
    Target target{AT_FDCWD, folder.constData(), nativeName.constData()};
    if (!t_kept)
        return target;
    if (t_kept->path != folder) {
        if (t_kept->fd >= 0)
            ::close(t_kept->fd);
        t_kept->path = folder;
        t_kept->fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (t_kept->fd >= 0) {
        target.at = t_kept->fd;
        target.where = ".";
        target.name = nativeName.constData() + slash + 1;
    }
    return target;
}

// The kept folder may be gone: its path is looked up again for the next file.
void forgetKeptFolder() {
    ::close(t_kept->fd);
    t_kept->fd = -1;
    t_kept->path.clear();
}

// Gives the unnamed file `fd` its name: the descriptor itself, where the kernel lets this
// process link it (newer kernels, or the right to read any folder); otherwise its name under
// /proc, a longer look-up. Returns linkat's result, errno telling why it failed.
int linkUnnamed(int fd, int at, const char* name) {
    int linked = -1;
    if (!g_emptyPathRefused.load(std::memory_order_relaxed)) {
        linked = ::linkat(fd, "", at, name, AT_EMPTY_PATH);
        if (linked != 0 && (errno == ENOENT || errno == EPERM || errno == EINVAL))
            g_emptyPathRefused.store(true, std::memory_order_relaxed);
    }
    if (g_emptyPathRefused.load(std::memory_order_relaxed)) {
        char self[32];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        linked = ::linkat(AT_FDCWD, self, at, name, AT_SYMLINK_FOLLOW);
    }
    return linked;
}

} // namespace

// Four system calls: an unnamed file opened in the folder (O_TMPFILE), one write, a link that
// gives it its name and fails when the name is taken, and the close (and a sync when durable).
NewFile createComplete(const QByteArray& nativeName, QByteArrayView data, bool durable) {
    const qsizetype slash = nativeName.lastIndexOf('/');
    // The folder part as it stands; a bare name is in the current folder.
    const QByteArray folder = slash < 0 ? QByteArray(".") : nativeName.left(qMax<qsizetype>(slash, 1));
    if (folder == t_refusedFolder)
        return NewFile::NotDone;
    const Target target = targetFor(folder, nativeName, slash);
    // A file that is to replace another is its owner's alone until it is given the old one's rights.
    const int fd = ::openat(target.at, target.where, O_TMPFILE | O_WRONLY | O_CLOEXEC, durable ? 0600 : 0666);
    if (fd < 0) {
        const int error = errno;
        if (target.at != AT_FDCWD)
            forgetKeptFolder();
        // The file system (or an old kernel) has no unnamed files; other errors are the
        // portable way's to report.
        if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL)
            t_refusedFolder = folder;
        return NewFile::NotDone;
    }
    NewFile result = NewFile::NotDone;
    if (writeAll(fd, data.data(), data.size()) && (!durable || ::fsync(fd) == 0)) {
        if (linkUnnamed(fd, target.at, target.name) == 0)
            result = NewFile::Created;
        else if (errno == EEXIST)
            result = NewFile::NameTaken;
    }
    // Not linked, the file goes with its descriptor. The file systems that have unnamed files
    // report no write error at the close that the write did not.
    ::close(fd);
    return result;
}

namespace {

// Opens `name` for reading when it is a regular file once links are followed, `status` then
// telling its size. It is looked at before it is opened, so that a device is not opened at
// all; it is opened without waiting, should a FIFO have taken its place since, and what was
// opened is looked at again. A folder is left to the portable way, which reports it as it
// always has.
OpenRead openStatus(const char* name, int& fd, struct stat& status) {
    fd = -1;
    if (::stat(name, &status) != 0 || S_ISDIR(status.st_mode))
        return OpenRead::NotDone;
    if (!S_ISREG(status.st_mode))
        return OpenRead::NotRegular;
    fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return OpenRead::NotDone;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        return OpenRead::Opened;
    const bool other = !S_ISDIR(status.st_mode);
    ::close(fd);
    fd = -1;
    return other ? OpenRead::NotRegular : OpenRead::NotDone;
}

} // namespace

SmallFile readSmall(const QByteArray& nativeName, qint64 limit, QByteArray& bytes) {
    int fd = -1;
    struct stat status;
    switch (openStatus(nativeName.constData(), fd, status)) {
    case OpenRead::Opened:
        break;
    case OpenRead::NotRegular:
        return SmallFile::NotRegular;
    case OpenRead::NotDone:
        return SmallFile::NotDone;
    }
    SmallFile result = SmallFile::NotDone;
    if (status.st_size > limit) {
        result = SmallFile::TooLarge;
    } else {
        // One byte more than the file holds: a read that fills it tells a file that grew.
        const qsizetype size = qsizetype(status.st_size);
        bytes.resize(size + 1);
        ssize_t got;
        do
            got = ::read(fd, bytes.data(), size_t(size) + 1);
        while (got < 0 && errno == EINTR);
        if (got == size) {
            bytes.truncate(size);
            result = SmallFile::Read;
        } else {
            bytes = QByteArray();
        }
    }
    ::close(fd);
    return result;
}

OpenRead openRegular(const QByteArray& nativeName, int& fd) {
    struct stat status;
    return openStatus(nativeName.constData(), fd, status);
}

KeptFolder::KeptFolder() {
    if (!t_kept) {
        t_kept = new OpenFolder;
        m_owner = true;
    }
}

KeptFolder::~KeptFolder() {
    if (!m_owner)
        return;
    if (t_kept->fd >= 0)
        ::close(t_kept->fd);
    delete std::exchange(t_kept, nullptr);
}

void adviseLargePages(void* data, qsizetype size) {
    // The advice covers every small page that the buffer touches: a large buffer is a mapping
    // of its own, and advice on part of it would cut it in two, which the C library's realloc
    // can then no longer grow in place (it copies instead).
    static const quintptr kPage = quintptr(::sysconf(_SC_PAGESIZE));
    if (size < kLargePagesFrom)
        return;
    const quintptr begin = quintptr(data) & ~(kPage - 1);
    const quintptr end = (quintptr(data) + quintptr(size) + kPage - 1) & ~(kPage - 1);
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

#else

NewFile createComplete(const QByteArray&, QByteArrayView, bool) {
    return NewFile::NotDone;
}

KeptFolder::KeptFolder() = default;
KeptFolder::~KeptFolder() = default;

SmallFile readSmall(const QByteArray&, qint64, QByteArray&) {
    return SmallFile::NotDone;
}

OpenRead openRegular(const QByteArray&, int& fd) {
    fd = -1;
    return OpenRead::NotDone;
}

void adviseLargePages(void*, qsizetype) {}

#endif

#ifdef Q_OS_WIN

namespace {
// A path that Windows takes past 260 characters: absolute ones get the \\?\ prefix, which
// turns off the length limit (and the parsing of "/", so the separators are made native).
std::wstring longPath(const std::filesystem::path& path) {
    std::wstring text = std::filesystem::absolute(path).wstring();
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    if (text.size() < MAX_PATH - 12 || text.rfind(LR"(\\)", 0) == 0)
        return text;
    return LR"(\\?\)" + text;
}
} // namespace

QString moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(longPath(from).c_str(), longPath(to).c_str(), flags))
        return {};
    return qt_error_string(int(GetLastError()));
}

bool flushToDisk(int fd) {
    return _commit(fd) == 0;
}

unsigned codePageFor(QStringView name) {
    static const struct {
        const char* name;
        unsigned codePage;
    } kCodePages[] = {
        {"iso-8859-2", 28592},   {"iso-8859-3", 28593},   {"iso-8859-4", 28594},   {"iso-8859-5", 28595},
        {"iso-8859-6", 28596},   {"iso-8859-7", 28597},   {"iso-8859-8", 28598},   {"iso-8859-9", 28599},
        {"iso-8859-13", 28603},  {"iso-8859-15", 28605},  {"windows-1250", 1250},  {"windows-1251", 1251},
        {"windows-1252", 1252},  {"windows-1253", 1253},  {"windows-1254", 1254},  {"windows-1255", 1255},
        {"windows-1256", 1256},  {"windows-1257", 1257},  {"windows-1258", 1258},  {"cp1250", 1250},
        {"cp1251", 1251},        {"cp1252", 1252},        {"koi8-r", 20866},       {"koi8-u", 21866},
        {"shift_jis", 932},      {"sjis", 932},           {"x-sjis", 932},         {"ms_kanji", 932},
        {"windows-31j", 932},    {"euc-jp", 20932},       {"iso-2022-jp", 50220},  {"gb2312", 936},
        {"gbk", 936},            {"cp936", 936},          {"gb18030", 54936},      {"big5", 950},
        {"euc-kr", 949},         {"ks_c_5601-1987", 949}, {"ibm850", 850},         {"cp850", 850},
        {"ibm437", 437},         {"cp437", 437},          {"ibm866", 866},         {"cp866", 866},
        {"macintosh", 10000},    {"tis-620", 874},        {"windows-874", 874},
    };
    const QByteArray key = name.toLatin1().toLower();
    for (const auto& entry : kCodePages)
        if (key == entry.name)
            return IsValidCodePage(entry.codePage) ? entry.codePage : 0;
    return 0;
}

QString decodeCodePage(unsigned codePage, QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), reinterpret_cast<wchar_t*>(text.data()),
                        size);
    return text;
}

bool processGone(qint64 pid) {
    if (pid <= 0 || pid > 0xFFFFFFFF)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_INVALID_PARAMETER; // no process has that number
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

// Windows raises no signal for a closed pipe or a size limit: the write fails.
void reportWriteSignalsAsErrors() {}

#else

unsigned codePageFor(QStringView) {
    return 0;
}

QString decodeCodePage(unsigned, QByteArrayView bytes) {
    return QString::fromLatin1(bytes);
}

QString moveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to, bool) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    return ec ? QString::fromLocal8Bit(ec.message()) : QString();
}

#endif

#ifdef Q_OS_UNIX

bool flushToDisk(int fd) {
    return ::fsync(fd) == 0;
}

bool processGone(qint64 pid) {
    // Signal 0 is no signal: only whether the process exists is checked. One of another user
    // exists too (EPERM).
    return pid > 0 && pid == qint64(pid_t(pid)) && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

void reportWriteSignalsAsErrors() {
    std::signal(SIGPIPE, SIG_IGN); // the write fails with EPIPE
    std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG
}

#elif !defined(Q_OS_WIN)

bool flushToDisk(int) {
    return true;
}

bool processGone(qint64) {
    return false;
}

void reportWriteSignalsAsErrors() {}

#endif

} // namespace Platform
