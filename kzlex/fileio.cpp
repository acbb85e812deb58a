#include "kzlex/fileio.h"

#include "kzlex/errors.h"
#include "kzlex/platform.h"
#include "kzlex/streamedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

void OpenRegularFile(QFile& file, const QString& fileName, QIODevice::OpenMode mode, FileAccess access) {
    if (access == FileAccess::Quick) {
        int fd = -1;
        switch (Platform::openRegular(QFile::encodeName(fileName), fd)) {
        case Platform::OpenRead::Opened:
            // Cannot fail for reading; the handle is closed with the file.
            if (!file.open(fd, mode, QFileDevice::AutoCloseHandle))
                throw FileReadError(Msg::CannotOpen, fileName, file.errorString());
            return;
        case Platform::OpenRead::NotRegular:
            throw FileReadError(Msg::NotRegularFile, fileName);
        case Platform::OpenRead::NotDone:
            break; // opened below, which tells what is wrong
        }
    }
    // A folder is left to the opening, which names it as such.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile() && !info.isDir())
        throw FileReadError(Msg::NotRegularFile, fileName);
    file.setFileName(fileName);
    if (!file.open(mode))
        throw FileReadError(Msg::CannotOpen, fileName, file.errorString());
}

QByteArray ReadWholeFile(const QString& fileName, FileAccess access) {
    // A device or a pipe would never end or block: refuse it rather than read it.
    if (!QFileInfo(fileName).isFile())
        throw FileReadError(Msg::NotRegularFile, fileName);
    QFile file;
    OpenRegularFile(file, fileName, QIODevice::ReadOnly, access);
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileReadError(Msg::CannotRead, fileName, file.errorString());
    return data;
}

std::filesystem::path NativePath(const QString& name) {
#ifdef Q_OS_WIN
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

namespace {

// Why a write failed: the system's reason, or else a write cut short without one.
struct WriteFailure {
    QString reason;
    qint64 done = -1; // bytes written by a short write
    qint64 size = 0;  // bytes it had to write
    bool isEmpty() const { return reason.isEmpty() && done < 0; }
};

[[noreturn]] void ThrowWrite(const QString& fileName, const WriteFailure& why) {
    if (why.reason.isEmpty() && why.done >= 0)
        throw FileWriteError(Msg::ShortWrite, fileName, why.done, why.size);
    throw FileWriteError(Msg::CannotWrite, fileName, why.reason);
}

// Called with the target's name just before a temporary file is renamed into place.
std::atomic<void (*)(const QString&)> g_renameHook{nullptr};

// A temporary file has a short name in the target's folder: ".corvanta-", the number of the
// process that writes it, "-", six random hex digits and ".tmp" (the target's own name may
// already be as long as names go). The process number tells a later run whether the file is
// left over from a run that was killed.
const char kTempStart[] = ".corvanta-";
const char kTempEnd[] = ".tmp";

QByteArray TemporaryTail() {
    return QByteArray::number(QCoreApplication::applicationPid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16) + kTempEnd;
}

// The process number of a temporary file's name; 0 when the name is not one of ours.
template <typename Char> qint64 TemporaryOwner(const Char* name, qsizetype size) {
    constexpr qsizetype start = sizeof kTempStart - 1, end = sizeof kTempEnd - 1;
    auto is = [&](qsizetype at, const char* text, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i)
            if (name[at + i] != Char(text[i]))
                return false;
        return true;
    };
    if (size < start + 3 + end || !is(0, kTempStart, start) || !is(size - end, kTempEnd, end))
        return 0;
    qsizetype at = start;
    qint64 pid = 0;
    for (; at < size - end && name[at] >= Char('0') && name[at] <= Char('9') && at - start < 10; ++at)
        pid = pid * 10 + (name[at] - Char('0'));
    if (at == start || at >= size - end || name[at] != Char('-') || ++at == size - end)
        return 0;
    for (; at < size - end; ++at) {
        const Char c = name[at];
        if (!((c >= Char('0') && c <= Char('9')) || (c >= Char('a') && c <= Char('f'))))
            return 0;
    }
    return pid;
}

// What a temporary file is for.
enum class Put {
    New,    // a name that nothing has (or a link that the file replaces): not synced
    Replace // an existing file: synced before the rename, so that a crash leaves the old one
};

// The permissions of the file replaced, given to the new one before any byte is written.
using Permissions = std::optional<std::filesystem::perms>;

void KeepPermissions(const std::filesystem::path& temp, const Permissions& permissions) {
    std::error_code ec; // a file system without permissions keeps its own
    if (permissions)
        std::filesystem::permissions(temp, *permissions, std::filesystem::perm_options::replace, ec);
}

// The rename that puts the complete temporary file in place of `target` (it replaces a link
// there, never what the link names); the temporary file goes when it fails.
void RenameIntoPlace(const std::filesystem::path& temp, const std::filesystem::path& target, const QString& targetName,
                     const QString& shown, Put put) {
    if (void (*hook)(const QString&) = g_renameHook.load(std::memory_order_relaxed))
        hook(targetName);
    const QString reason = Platform::moveIntoPlace(temp, target, put == Put::Replace);
    if (reason.isEmpty())
        return;
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    ThrowWrite(shown, {reason});
}

#ifdef Q_OS_WIN
// Writes `data` to a new temporary file beside `target`, then renames it to `target`. Errors
// name `shown`, the path the caller was given.
void PutInPlace(const QString& target, const QString& shown, const QByteArray& data, Put put,
                const Permissions& permissions, FileAccess) {
    const QString prefix = QFileInfo(target).absolutePath() + u'/' + QLatin1String(kTempStart);
    QFile file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = prefix + QString::fromLatin1(TemporaryTail());
        file.setFileName(temp);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(temp) && !QFileInfo(temp).isSymLink())
            throw FileWriteError(Msg::CannotCreate, shown, file.errorString());
    }
    if (!file.isOpen())
        throw FileWriteError(Msg::NoFreeTemporaryName, shown);
    const QString temp = file.fileName();
    KeepPermissions(NativePath(temp), permissions);
    WriteFailure why;
    const qint64 done = file.write(data);
    if (done != data.size() || !file.flush())
        why = file.error() != QFileDevice::NoError ? WriteFailure{file.errorString()}
                                                   : WriteFailure{QString(), qMax<qint64>(done, 0), data.size()};
    if (why.isEmpty() && put == Put::Replace && !Platform::flushToDisk(file.handle()))
        why.reason = file.errorString();
    file.close();
    if (why.isEmpty() && file.error() != QFileDevice::NoError)
        why.reason = file.errorString();
    if (!why.isEmpty()) {
        QFile::remove(temp);
        ThrowWrite(shown, why);
    }
    RenameIntoPlace(NativePath(temp), NativePath(target), target, shown, put);
}
#else
QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Writes `data` to a new temporary file beside `target`, then renames it to `target`: a new
// file goes without the sync that makes a run of many thousand new files wait for the disk.
// Where the system has unnamed files, the temporary file gets its name only once it is
// complete; otherwise the C library's exclusive create, unbuffered write and rename take one
// system call each. The temporary name is made from the name's file-system form. Errors name
// `shown`, the path the caller was given.
void PutInPlace(const QString& target, const QString& shown, const QByteArray& data, Put put,
                const Permissions& permissions, FileAccess access) {
    const QByteArray native = QFile::encodeName(target);
    const qsizetype slash = native.lastIndexOf('/');
    // The folder part as it stands; a bare name is in the current folder.
    const QByteArray prefix = (slash < 0 ? QByteArray(".") : native.left(qMax<qsizetype>(slash, 1))) + '/' + kTempStart;
    QByteArray temp;
    bool made = false;
    if (access == FileAccess::Quick) {
        for (int attempt = 0; attempt < 100 && !made; ++attempt) {
            temp = prefix + TemporaryTail();
            const Platform::NewFile result = Platform::createComplete(temp, data, put == Put::Replace);
            if (result == Platform::NewFile::NotDone)
                break;
            made = result == Platform::NewFile::Created;
        }
        if (made)
            KeepPermissions(temp.constData(), permissions);
    }
    if (!made) {
        std::FILE* file = nullptr;
        for (int attempt = 0; attempt < 100 && !file; ++attempt) {
            temp = prefix + TemporaryTail();
            file = std::fopen(temp.constData(), "wbx"); // "x": fails when the name exists
            if (!file && errno != EEXIST)
                throw FileWriteError(Msg::CannotCreate, shown, ErrnoText());
        }
        if (!file)
            throw FileWriteError(Msg::NoFreeTemporaryName, shown);
        KeepPermissions(temp.constData(), permissions);
        std::setvbuf(file, nullptr, _IONBF, 0);
        WriteFailure why;
        errno = 0;
        const size_t size = size_t(data.size());
        const size_t done = size == 0 ? 0 : std::fwrite(data.constData(), 1, size, file);
        if (done != size && errno != 0)
            why.reason = ErrnoText();
        else if (done != size)
            why = {QString(), qint64(done), qint64(size)};
        if (why.isEmpty() && put == Put::Replace && !Platform::flushToDisk(fileno(file)))
            why.reason = ErrnoText();
        if (std::fclose(file) != 0 && why.isEmpty())
            why.reason = ErrnoText();
        if (!why.isEmpty()) {
            std::remove(temp.constData());
            ThrowWrite(shown, why);
        }
    }
    RenameIntoPlace(temp.constData(), native.constData(), target, shown, put);
}
#endif

// The text Qt's save file gives for a folder where a file is to be written.
QString FolderInTheWay() {
    return QCoreApplication::translate("QSaveFile", "Filename refers to a directory");
}

// The folder part of a path, as it stands ("" for a bare name: the current folder).
QString FolderOf(const QString& path) {
    const QString p = QDir::fromNativeSeparators(path);
    return p.left(qMax<qsizetype>(p.lastIndexOf(u'/'), p.startsWith(u'/') ? 1 : 0));
}

} // namespace

void SetRenameHook(void (*hook)(const QString& fileName)) {
    g_renameHook.store(hook, std::memory_order_relaxed);
}

void RemoveLeftoverTemporaries(const QString& folder) {
    namespace fs = std::filesystem;
    const qint64 self = QCoreApplication::applicationPid();
    std::error_code ec;
    for (fs::directory_iterator it(NativePath(folder.isEmpty() ? QStringLiteral(".") : folder), ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::path::string_type& path = it->path().native();
        const auto* name = path.data() + path.find_last_of(fs::path::preferred_separator) + 1;
        const qint64 owner = TemporaryOwner(name, path.data() + path.size() - name);
        // Only a plain file whose process has ended: a run that still writes keeps its own.
        std::error_code kind;
        if (owner > 0 && owner != self && it->symlink_status(kind).type() == fs::file_type::regular &&
            Platform::processGone(owner)) {
            std::error_code removed;
            fs::remove(it->path(), removed);
        }
    }
}

QString NewFileRefusal(const QString& folder) {
    // Named as the run's temporary files are, so that one left by a killed run is cleared too.
    for (int attempt = 0; attempt < 16; ++attempt) {
        QFile probe(JoinPath(folder, QLatin1String(kTempStart) + QString::fromLatin1(TemporaryTail())));
        if (probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            probe.close();
            probe.remove();
            return QString();
        }
        if (!QFileInfo::exists(probe.fileName()))
            return probe.errorString();
    }
    return QString(); // only names that are taken: the writes will say what is wrong
}

namespace {

// Writes a chosen path that is a link: the regular file it leads to is replaced, beside itself.
// Writing through a link to a missing file would create a file somewhere else.
void WriteThroughLink(const QString& fileName, const std::filesystem::path& native, const QByteArray& data,
                      FileAccess access) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path linked = fs::canonical(native, ec);
    if (ec) {
        std::error_code looked;
        if (!fs::exists(native, looked) && !looked)
            throw FileWriteError(Msg::LinkToMissingFile, fileName);
        throw FileWriteError(Msg::CannotCreate, fileName, QString::fromLocal8Bit(ec.message()));
    }
    const fs::file_status linkedStatus = fs::status(linked, ec);
    if (fs::is_directory(linkedStatus))
        throw FileWriteError(Msg::CannotCreate, fileName, FolderInTheWay());
    if (!fs::is_regular_file(linkedStatus))
        throw FileWriteError(Msg::WriteNotRegularFile, fileName);
#ifdef Q_OS_WIN
    const QString resolved = QString::fromStdWString(linked.native());
#else
    const QString resolved = QFile::decodeName(QByteArray::fromStdString(linked.native()));
#endif
    RemoveLeftoverTemporaries(FolderOf(resolved));
    PutInPlace(resolved, fileName, data, Put::Replace, linkedStatus.permissions(), access);
}

} // namespace

// The name itself first, without following a link (a run of new files pays one look per file).
// A name the run made is never written through a link: the link is replaced. A path the user
// chose may be a link to a regular file: that file is replaced, beside itself, and the link
// stays. Anything else than a regular file (a folder, a FIFO, a device, a socket) is an error,
// and nothing is replaced.
void WriteFileAtomic(const QString& fileName, const QByteArray& data, WriteTarget target, FileAccess access) {
    namespace fs = std::filesystem;
    const bool chosen = target == WriteTarget::UserChosen;
    // A path the user chose is written once per run: its folder is freed of what killed runs
    // left there. The folders of a run's own names are cleared by the run.
    if (chosen)
        RemoveLeftoverTemporaries(FolderOf(fileName));
    // A new file made complete in one step where the system can. A taken name, or any failure,
    // goes the way below, which replaces what is there or reports what is wrong. Large
    // contents are not written twice for a taken name: the name is looked at first.
    constexpr qsizetype kLookFirst = qsizetype(1) << 20;
    std::error_code ec;
    const fs::path native = NativePath(fileName);
    std::optional<fs::file_status> status;
    if (access == FileAccess::Quick) {
        if (data.size() >= kLookFirst)
            status = fs::symlink_status(native, ec);
        if ((!status || status->type() == fs::file_type::not_found) &&
            Platform::createComplete(QFile::encodeName(fileName), data) == Platform::NewFile::Created)
            return;
    }
    if (!status)
        status = fs::symlink_status(native, ec);
    switch (status->type()) {
    case fs::file_type::none: // it could not be looked at: creating the file says why
    case fs::file_type::not_found:
        PutInPlace(fileName, fileName, data, Put::New, std::nullopt, access);
        return;
    case fs::file_type::regular:
        PutInPlace(fileName, fileName, data, Put::Replace, status->permissions(), access);
        return;
    case fs::file_type::directory:
        throw FileWriteError(Msg::CannotCreate, fileName, FolderInTheWay());
    case fs::file_type::symlink:
        break;
    default:
        throw FileWriteError(Msg::WriteNotRegularFile, fileName);
    }
    if (!chosen) {
        PutInPlace(fileName, fileName, data, Put::New, std::nullopt, access);
        return;
    }
    WriteThroughLink(fileName, native, data, access);
}

// An empty folder stands for the current folder, so the name is returned alone.
QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}

StreamedFile::StreamedFile(const QString& folder) {
    const QString prefix = JoinPath(folder, QLatin1String(kTempStart));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = prefix + QString::fromLatin1(TemporaryTail());
        m_file.setFileName(temp);
        // A new name only: a link or a file there is never written through.
        if (m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return;
        if (!QFileInfo::exists(temp) && !QFileInfo(temp).isSymLink()) {
            fail(m_file.errorString());
            return;
        }
    }
    fail(QString());
}

StreamedFile::~StreamedFile() {
    if (m_file.isOpen())
        m_file.close();
    if (!m_placed && !m_file.fileName().isEmpty())
        QFile::remove(m_file.fileName());
}

void StreamedFile::fail(const QString& reason) {
    if (m_failure.isNull())
        m_failure = reason.isNull() ? QStringLiteral("") : reason;
}

void StreamedFile::append(QByteArrayView bytes) {
    if (!m_failure.isNull() || bytes.isEmpty())
        return;
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size())
        fail(m_file.errorString());
}

void StreamedFile::append(QStringView text) {
    if (m_failure.isNull() && !text.isEmpty())
        append(QByteArrayView(text.toUtf8()));
}

void StreamedFile::appendFrom(StreamedFile& other) {
    if (!other.m_failure.isNull())
        fail(other.m_failure);
    if (!m_failure.isNull())
        return;
    if (!other.m_file.flush() || !other.m_file.seek(0)) {
        fail(other.m_file.errorString());
        return;
    }
    QByteArray block(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = other.m_file.read(block.data(), block.size());
        if (n < 0)
            fail(other.m_file.errorString());
        if (n <= 0 || !m_failure.isNull())
            return;
        append(QByteArrayView(block.constData(), n));
    }
}

void StreamedFile::placeAs(const QString& fileName) {
    namespace fs = std::filesystem;
    if (m_failure.isNull() && !m_file.flush())
        fail(m_file.errorString());
    if (!m_failure.isNull()) {
        if (m_failure.isEmpty() && !m_file.isOpen())
            throw FileWriteError(Msg::NoFreeTemporaryName, fileName);
        throw FileWriteError(m_file.isOpen() ? Msg::CannotWrite : Msg::CannotCreate, fileName, m_failure);
    }
    std::error_code ec;
    const fs::path native = NativePath(fileName);
    const fs::file_status status = fs::symlink_status(native, ec);
    Put put = Put::New;
    switch (status.type()) {
    case fs::file_type::none:
    case fs::file_type::not_found:
    case fs::file_type::symlink: // the link is replaced, what it names is left alone
        break;
    case fs::file_type::regular:
        put = Put::Replace;
        KeepPermissions(NativePath(m_file.fileName()), status.permissions());
        if (!Platform::flushToDisk(m_file.handle()))
            throw FileWriteError(Msg::CannotWrite, fileName, m_file.errorString());
        break;
    case fs::file_type::directory:
        throw FileWriteError(Msg::CannotCreate, fileName, FolderInTheWay());
    default:
        throw FileWriteError(Msg::WriteNotRegularFile, fileName);
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        throw FileWriteError(Msg::CannotWrite, fileName, m_file.errorString());
    m_placed = true; // the rename removes the temporary file when it fails
    RenameIntoPlace(NativePath(m_file.fileName()), native, fileName, fileName, put);
}
