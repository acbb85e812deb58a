#include "kzlex/platform.h"

#include <QtGlobal>

#include <atomic>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Platform {

#ifdef Q_OS_LINUX

namespace {

std::atomic<bool> g_quickCreate{true};
// linkat refused to link a descriptor by itself: the /proc name is used from then on.
std::atomic<bool> g_emptyPathRefused{false};

// The last folder whose file system refused unnamed files: a run writes thousands of files
// into one folder, and each would ask again.
thread_local QByteArray t_refusedFolder;

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

} // namespace

// Four system calls: an unnamed file opened in the folder (O_TMPFILE), one write, a link that
// gives it its name and fails when the name is taken, and the close.
NewFile createComplete(const QByteArray& nativeName, QByteArrayView data) {
    const qsizetype slash = nativeName.lastIndexOf('/');
    // The folder part as it stands; a bare name is in the current folder.
    const QByteArray folder = slash < 0 ? QByteArray(".") : nativeName.left(qMax<qsizetype>(slash, 1));
    if (folder == t_refusedFolder)
        return NewFile::NotDone;
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        // The file system (or an old kernel) has no unnamed files; other errors are the
        // portable way's to report.
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            t_refusedFolder = folder;
        return NewFile::NotDone;
    }
    NewFile result = NewFile::NotDone;
    if (writeAll(fd, data.data(), data.size())) {
        int linked = -1;
        // The descriptor itself, where the kernel lets this process link it (newer kernels, or
        // the right to read any folder); otherwise its name under /proc, a longer look-up.
        if (!g_emptyPathRefused.load(std::memory_order_relaxed)) {
            linked = ::linkat(fd, "", AT_FDCWD, nativeName.constData(), AT_EMPTY_PATH);
            if (linked != 0 && (errno == ENOENT || errno == EPERM || errno == EINVAL))
                g_emptyPathRefused.store(true, std::memory_order_relaxed);
        }
        if (g_emptyPathRefused.load(std::memory_order_relaxed)) {
            char self[32];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
            linked = ::linkat(AT_FDCWD, self, AT_FDCWD, nativeName.constData(), AT_SYMLINK_FOLLOW);
        }
        if (linked == 0)
            result = NewFile::Created;
        else if (errno == EEXIST)
            result = NewFile::NameTaken;
    }
    // Not linked, the file goes with its descriptor. The file systems that have unnamed files
    // report no write error at the close that the write did not.
    ::close(fd);
    return result;
}

void setQuickCreate(bool on) {
    g_quickCreate.store(on, std::memory_order_relaxed);
}

bool quickCreate() {
    return g_quickCreate.load(std::memory_order_relaxed);
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

NewFile createComplete(const QByteArray&, QByteArrayView) {
    return NewFile::NotDone;
}

void setQuickCreate(bool) {}

bool quickCreate() {
    return false;
}

void adviseLargePages(void*, qsizetype) {}

#endif

} // namespace Platform
