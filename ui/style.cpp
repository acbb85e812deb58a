// The program's visual style: the Fusion look under the "Aqua Light Slate" style sheet.
#include "ui/style.h"
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStyleFactory>

// The resources live in a static library: nothing would pull them in without this call.
void InitCorvantaResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(corvanta);
        return true;
    }();
    Q_UNUSED(done)
}

bool ApplyVisualStyle(QApplication& app) {
    InitCorvantaResources();
    const QString name = QStringLiteral("Aqua Light Slate");
    QFile sheet(QStringLiteral(":/style/aqua-light-slate.qss"));
    if (!sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QMessageBox::warning(
            nullptr, QStringLiteral("Corvanta"),
            QStringLiteral("The visual style \"%1\" cannot be applied: %2.").arg(name, sheet.errorString()));
        return false;
    }
    // Fusion draws the same on every platform, so the sheet looks as designed everywhere.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    return true;
}
