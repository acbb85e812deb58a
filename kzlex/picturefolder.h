#pragma once
// The picture files of one folder (photos, logos): found by exact name first, else by a name
// that matches under case folding.
#include <QHash>
#include <QString>

class PictureFolder {
public:
    explicit PictureFolder(QString folder = QString()) : m_folder(std::move(folder)) {}
    const QString& folder() const { return m_folder; }

    // The path of the picture `name`: the exact name first, else the first file (in UTF-16 order)
    // whose name matches under simple case folding; folders do not count. The empty text when
    // there is none. The folder is listed once, on the first name without an exact match, so a
    // run over many cards stays linear.
    QString find(const QString& name);

private:
    void list();

    QString m_folder;
    bool m_listed = false;
    QHash<QString, QString> m_byFolded;
};
