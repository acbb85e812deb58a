#include "kzlex/errors.h"
#include "kzlex/utilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString GetAppConfigDir() {
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

bool EncodeFile(const QString& FileName, QByteArray& S) {
    S.clear();
    const QFileInfo info(FileName);
    if (!info.exists() || info.isDir())
        return false;
    // A device or a pipe would never end or block: refuse it rather than read it.
    if (!info.isFile())
        throw FileReadError(QStringLiteral("Cannot read \"%1\": not a regular file").arg(FileName));
    QFile file(FileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileReadError(QStringLiteral("Cannot open \"%1\": %2").arg(FileName, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileReadError(QStringLiteral("Cannot read \"%1\": %2").arg(FileName, file.errorString()));
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
    if (Sin.isEmpty())
        return;
    QByteArray data = Sin;
    data.replace("\r\n", "");
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

void WriteFileAtomic(const QString& fileName, const QByteArray& data) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw FileWriteError(QStringLiteral("Cannot create \"%1\": %2").arg(fileName, file.errorString()));
    if (file.write(data) != data.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw FileWriteError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, why));
    }
    if (!file.commit())
        throw FileWriteError(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString()));
}

QString FindPictureFile(const QString& folder, const QString& name) {
    if (name.isEmpty())
        return QString();
    const QString exact = JoinPath(folder, name);
    const QFileInfo exactInfo(exact);
    if (exactInfo.exists() && !exactInfo.isDir())
        return exact;

    const QString wanted = name.toCaseFolded();
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    QString best;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QString& entry : entries) {
        if (entry.toCaseFolded() != wanted)
            continue;
        if (QFileInfo(dir.filePath(entry)).isDir())
            continue;
        if (best.isNull() || entry < best)
            best = entry;
    }
    return best.isNull() ? QString() : JoinPath(folder, best);
}

// An empty folder stands for the current folder, so the name is returned alone.
QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/') || folder.endsWith(u'\\'))
        return folder + name;
    return folder + u'/' + name;
}
