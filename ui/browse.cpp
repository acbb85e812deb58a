// The file and folder dialogs of the window.
#include "ui/browse.h"
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

QStringList QtFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        // Qt shows its own "(masks)" after the description: drop the one written by hand.
        static const QRegularExpression handMasks(QStringLiteral("\\s*\\([^()]*\\)$"));
        desc.remove(handMasks);
        QStringList masks;
        for (const QString& m : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString mask = m.trimmed();
            if (!mask.isEmpty())
                masks << (mask == QLatin1String("*.*") ? QStringLiteral("*") : mask);
        }
        result << desc + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

void BrowseDialogCallBack(QWidget* dialog) {
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect wa = screen->availableGeometry();
    // The work area's own corner is added, so a panel on the left or top is allowed for.
    dialog->move(wa.left() + wa.width() / 2 - dialog->width() / 2, wa.top() + wa.height() / 2 - dialog->height() / 2);
}

bool BrowseForFolder(QString& Foldr, const QString& Title, QWidget* owner) {
    QFileDialog dlg(owner, Title);
    dlg.setObjectName(QStringLiteral("BrowseForFolder"));
    // Qt's own dialog: it has the editable path and the new-folder button, and it can be placed.
    dlg.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    // The prompt stands above the folder tree, not only in the title bar.
    dlg.setLabelText(QFileDialog::LookIn, Title);
    if (!Foldr.isEmpty() && QFileInfo(Foldr).isDir())
        dlg.setDirectory(Foldr);
    dlg.resize(dlg.sizeHint().expandedTo(QSize(600, 420)));
    BrowseDialogCallBack(&dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    const QString chosen = dlg.selectedFiles().constFirst();
    if (!QFileInfo(chosen).isDir())
        return false;
    Foldr = chosen;
    return true;
}
