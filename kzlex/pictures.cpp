#include "kzlex/pictures.h"

#include "kzlex/errors.h"
#include "kzlex/fileio.h"

#include <QFileInfo>

QByteArray ReadPicture(const QString& fileName, FileAccess access) {
    // The size from the file's status: a picture of hundreds of megabytes is never read.
    const qint64 size = QFileInfo(fileName).size();
    if (size > kPictureMaxBytes)
        throw FileReadError(Msg::PictureTooLarge, fileName, size);
    return ReadWholeFile(fileName, access);
}

bool EncodeFile(const QString& FileName, QByteArray& S, FileAccess access) {
    S.clear();
    const QFileInfo info(FileName);
    if (!info.exists() || info.isDir())
        return false;
    const QByteArray data = ReadPicture(FileName, access);
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
