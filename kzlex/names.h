#pragma once
// File names made from contact names: forbidden characters out, and a length that every file
// system takes.
#include <QString>

// Replaces the nine characters forbidden in file names, the control characters (C0, DEL, C1),
// the bidirectional controls and the line and paragraph separators by blanks, then trims.
QString filtreinterdits(const QString& nom);
// The name rule for output file names, picture look-ups and the processed-files list: the
// forbidden characters go from the name as finally decoded.
QString NettoieNom(const QString& text);
// `name` followed by `suffix`, as one file name that a file system takes: when the whole is
// longer than 255 bytes of UTF-8, `name` is cut at a character boundary (a surrogate pair is
// never split) so that it fits, and the blanks left at the cut go.
QString FitFileName(const QString& name, const QString& suffix);
