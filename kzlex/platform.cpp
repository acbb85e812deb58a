#include "kzlex/platform.h"

#include <QtGlobal>

#include <atomic>
#include <utility>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Platform {

#ifdef Q_OS_LINUX

namespace {

std::atomic<bool> g_quickFiles{true};
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

} // namespace

// Four system calls: an unnamed file opened in the folder (O_TMPFILE), one write, a link that
// gives it its name and fails when the name is taken, and the close.
NewFile createComplete(const QByteArray& nativeName, QByteArrayView data) {
    const qsizetype slash = nativeName.lastIndexOf('/');
    // The folder part as it stands; a bare name is in the current folder.
    const QByteArray folder = slash < 0 ? QByteArray(".") : nativeName.left(qMax<qsizetype>(slash, 1));
    if (folder == t_refusedFolder)
        return NewFile::NotDone;
    // In a kept folder, the new file and its name are made from the folder's descriptor: its
    // path is not looked up again for every file.
    int at = AT_FDCWD;
    const char* where = folder.constData();
    const char* name = nativeName.constData();
    if (t_kept) {
        if (t_kept->path != folder) {
            if (t_kept->fd >= 0)
                ::close(t_kept->fd);
            t_kept->path = folder;
            t_kept->fd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        }
        if (t_kept->fd >= 0) {
            at = t_kept->fd;
            where = ".";
            name = nativeName.constData() + slash + 1;
        }
    }
    const int fd = ::openat(at, where, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && at != AT_FDCWD) {
        // The kept folder may be gone: its path is looked up again for the next file.
        ::close(t_kept->fd);
        t_kept->fd = -1;
        t_kept->path.clear();
    }
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
            linked = ::linkat(fd, "", at, name, AT_EMPTY_PATH);
            if (linked != 0 && (errno == ENOENT || errno == EPERM || errno == EINVAL))
                g_emptyPathRefused.store(true, std::memory_order_relaxed);
        }
        if (g_emptyPathRefused.load(std::memory_order_relaxed)) {
            char self[32];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
            linked = ::linkat(AT_FDCWD, self, at, name, AT_SYMLINK_FOLLOW);
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

SmallFile readSmall(const QByteArray& nativeName, qint64 limit, QByteArray& bytes) {
    const int fd = ::open(nativeName.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SmallFile::NotDone;
    SmallFile result = SmallFile::NotDone;
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
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
    }
    ::close(fd);
    return result;
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

void setQuickFiles(bool on) {
    g_quickFiles.store(on, std::memory_order_relaxed);
}

bool quickFiles() {
    return g_quickFiles.load(std::memory_order_relaxed);
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

KeptFolder::KeptFolder() = default;
KeptFolder::~KeptFolder() = default;

SmallFile readSmall(const QByteArray&, qint64, QByteArray&) {
    return SmallFile::NotDone;
}

void setQuickFiles(bool) {}

bool quickFiles() {
    return false;
}

void adviseLargePages(void*, qsizetype) {}

#endif

} // namespace Platform
