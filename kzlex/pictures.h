#pragma once
// Picture files read for a card, and their data written as folded lines.
#include "kzlex/linelist.h"
#include <QByteArray>
#include <QString>

// The largest picture file that a run embeds or copies: 16 MB.
constexpr qint64 kPictureMaxBytes = qint64(16) << 20;
// The bytes of a picture file, as ReadWholeFile reads them; throws FileReadError without
// reading it when its status gives more than kPictureMaxBytes.
QByteArray ReadPicture(const QString& fileName, FileAccess access = FileAccess::Quick);
// Reads a whole picture file as MIME base64 (76-character lines separated by CR LF). False when
// no file exists there or it is empty; throws FileReadError when it exists but cannot be read
// or is larger than kPictureMaxBytes.
bool EncodeFile(const QString& FileName, QByteArray& S, FileAccess access = FileAccess::Quick);

// Writes base64 data after a property head, folded into lines of 78 characters; each
// continuation line starts with `continuation` (a blank for vCard, empty for .contact).
void EcrirePhotoLignes(const QString& Prefixe, const QByteArray& Sin, LineList& T, const QString& continuation);
