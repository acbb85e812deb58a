#include "kzlex/errors.h"
#include "kzlex/platform.h"
#include "kzlex/utilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

QString GetAppConfigDir() {
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QByteArray ReadWholeFile(const QString& fileName) {
    // A device or a pipe would never end or block: refuse it rather than read it.
    if (!QFileInfo(fileName).isFile())
        throw FileReadError(ErrorText::NotRegularFile, fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileReadError(ErrorText::CannotOpen, fileName, file.errorString());
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileReadError(ErrorText::CannotRead, fileName, file.errorString());
    return data;
}

bool EncodeFile(const QString& FileName, QByteArray& S) {
    S.clear();
    const QFileInfo info(FileName);
    if (!info.exists() || info.isDir())
        return false;
    const QByteArray data = ReadPicture(FileName);
    if (data.isEmpty())
        return false;

    // MIME form: lines of 76 characters separated by CR LF.
    const QByteArray b64 = data.toBase64();
    constexpr qsizetype kLine = 76;
    S.reserve(b64.size() + (b64.size() / kLine) * 2);
    for (qsizetype i = 0; i < b64.size(); i += kLine) {
        if (i > 0)
            S += "\r\n";
        S += QByteArrayView(b64).sliced(i, qMin(kLine, b64.size() - i));
    }
    return true;
}

void EcrirePhotoLignes(const QString& Prefixe, const QByteArray& Sin, LineList& T, const QString& continuation) {
    // Every blank and line end goes, not only the CR LF pairs of the MIME form.
    QByteArray data;
    data.reserve(Sin.size() + 3);
    for (char c : Sin)
        if (uchar(c) > 0x20)
            data += c;
    if (data.isEmpty())
        return;
    while (data.size() % 4 != 0)
        data += '=';
    const QString S = Prefixe + QString::fromLatin1(data);
    constexpr qsizetype kLine = 78;
    if (S.size() < kLine) {
        T.append(S);
        return;
    }
    T.append(S.left(kLine));
    for (qsizetype at = kLine; at < S.size(); at += kLine)
        T.append(continuation + S.mid(at, kLine));
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
        throw FileWriteError(ErrorText::ShortWrite, fileName, why.done, why.size);
    throw FileWriteError(ErrorText::CannotWrite, fileName, why.reason);
}

// Writes all of `data`; on a short write, the reason (a short count sets no error).
bool WriteAll(QFileDevice& file, const QByteArray& data, WriteFailure& why) {
    const qint64 done = file.write(data);
    if (done == data.size() && file.flush())
        return true;
    if (file.error() != QFileDevice::NoError)
        why.reason = file.errorString();
    else
        why = {QString(), qMax<qint64>(done, 0), data.size()};
    return false;
}

// Replaces an existing file: QSaveFile writes a temporary file, syncs it and renames it over
// the old one. Unbuffered, so that a short write shows in write()'s count at once.
void ReplaceFile(const QString& fileName, const QByteArray& data) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileWriteError(ErrorText::CannotCreate, fileName, file.errorString());
    WriteFailure why;
    if (!WriteAll(file, data, why)) {
        file.cancelWriting();
        ThrowWrite(fileName, why);
    }
    if (!file.commit())
        ThrowWrite(fileName, {file.errorString()});
}

// A temporary file has a short name in the target's folder, ".corvanta-" and six random hex
// digits: the target's own name may already be as long as names go.

#ifdef Q_OS_WIN
QString TemporaryName(const QString& folder) {
    return folder + QStringLiteral("/.corvanta-") +
           QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16) + QStringLiteral(".tmp");
}

// Creates a new file: nothing can be lost, so the temporary file is renamed into place
// without the sync that makes a run of many thousand new files wait for the disk.
void CreateFile(const QString& fileName, const QByteArray& data) {
    const QString folder = QFileInfo(fileName).absolutePath();
    QFile file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = TemporaryName(folder);
        file.setFileName(temp);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            break;
        if (!QFileInfo::exists(temp) && !QFileInfo(temp).isSymLink())
            throw FileWriteError(ErrorText::CannotCreate, fileName, file.errorString());
    }
    if (!file.isOpen())
        throw FileWriteError(ErrorText::NoFreeTemporaryName, fileName);
    const QString temp = file.fileName();
    WriteFailure why;
    const bool written = WriteAll(file, data, why);
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        why.reason = file.errorString();
    } else if (written) {
        std::error_code ec;
        std::filesystem::rename(NativePath(temp), NativePath(fileName), ec);
        if (!ec)
            return;
        why.reason = QString::fromLocal8Bit(ec.message());
    }
    QFile::remove(temp);
    ThrowWrite(fileName, why);
}
#else
QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Creates a new file: nothing can be lost, so the temporary file is renamed into place
// without the sync that makes a run of many thousand new files wait for the disk. The C
// library's exclusive create, unbuffered write and rename take one system call each, which
// counts when a run writes a file per card. The name's file-system form is made once, and the
// temporary name from it.
void CreateFile(const QString& fileName, const QByteArray& data) {
    const QByteArray native = QFile::encodeName(fileName);
    const qsizetype slash = native.lastIndexOf('/');
    // The folder part as it stands; a bare name is in the current folder.
    const QByteArray prefix = (slash < 0 ? QByteArray(".") : native.left(qMax<qsizetype>(slash, 1))) + "/.corvanta-";
    QByteArray temp;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temp = prefix + QByteArray::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16) + ".tmp";
        file = std::fopen(temp.constData(), "wbx"); // "x": fails when the name exists
        if (!file && errno != EEXIST)
            throw FileWriteError(ErrorText::CannotCreate, fileName, ErrnoText());
    }
    if (!file)
        throw FileWriteError(ErrorText::NoFreeTemporaryName, fileName);
    std::setvbuf(file, nullptr, _IONBF, 0);
    WriteFailure why;
    errno = 0;
    const size_t size = size_t(data.size());
    const size_t done = size == 0 ? 0 : std::fwrite(data.constData(), 1, size, file);
    if (done != size && errno != 0)
        why.reason = ErrnoText();
    else if (done != size)
        why = {QString(), qint64(done), qint64(size)};
    if (std::fclose(file) != 0 && why.isEmpty())
        why.reason = ErrnoText();
    if (why.isEmpty()) {
        if (std::rename(temp.constData(), native.constData()) == 0)
            return;
        why.reason = ErrnoText();
    }
    std::remove(temp.constData());
    ThrowWrite(fileName, why);
}
#endif

} // namespace

// A file that exists (or a link to one) is replaced with a synced QSaveFile; QSaveFile writes
// through a link, so the link stays and the file it names gets the new text. A link to a
// missing file is refused: writing through it would create a file somewhere else.
void WriteFileAtomic(const QString& fileName, const QByteArray& data) {
    // A new file made complete in one step where the system can. A taken name, or any failure,
    // goes the way below, which replaces what is there or reports what is wrong. Large
    // contents are not written twice for a taken name: the name is looked at first.
    constexpr qsizetype kLookFirst = qsizetype(1) << 20;
    std::error_code ec;
    const std::filesystem::path native = NativePath(fileName);
    std::optional<std::filesystem::file_status> status;
    if (Platform::quickFiles()) {
        if (data.size() >= kLookFirst)
            status = std::filesystem::symlink_status(native, ec);
        if ((!status || status->type() == std::filesystem::file_type::not_found) &&
            Platform::createComplete(QFile::encodeName(fileName), data) == Platform::NewFile::Created)
            return;
    }
    // One look at the name, without following a link (a run of new files pays it per file).
    if (!status)
        status = std::filesystem::symlink_status(native, ec);
    if (status->type() == std::filesystem::file_type::not_found) {
        CreateFile(fileName, data);
        return;
    }
    if (std::filesystem::is_symlink(*status) && !std::filesystem::exists(native, ec))
        throw FileWriteError(ErrorText::LinkToMissingFile, fileName);
    ReplaceFile(fileName, data);
}

// An empty folder stands for the current folder, so the name is returned alone.
QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}
