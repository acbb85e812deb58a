#include "kzlex/picturefolder.h"

#include "kzlex/fileio.h"

#include <QDir>
#include <QFileInfo>

QString PictureFolder::find(const QString& name) {
    if (name.isEmpty())
        return QString();
    const QString exact = JoinPath(m_folder, name);
    const QFileInfo info(exact);
    if (info.exists() && !info.isDir())
        return exact;
    if (!m_listed)
        list();
    const auto it = m_byFolded.constFind(name.toCaseFolded());
    return it == m_byFolded.cend() ? QString() : JoinPath(m_folder, *it);
}

void PictureFolder::list() {
    m_listed = true;
    const QDir dir(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QString& entry : entries) {
        if (QFileInfo(dir.filePath(entry)).isDir())
            continue;
        QString& best = m_byFolded[entry.toCaseFolded()];
        if (best.isNull() || entry < best)
            best = entry;
    }
}
