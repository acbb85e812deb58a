// Corvanta: converts vCard contact files. Starts the main window.
#include "kzlex/platform.h"
#include "ui/principal.h"
#include "ui/style.h"
#include <QApplication>

int main(int argc, char* argv[]) {
    // A file-size limit or a closed pipe makes a write fail with an error the log shows.
    Platform::reportWriteSignalsAsErrors();
    QApplication app(argc, argv);
    ApplyVisualStyle(app);
    // The application title; applicationDisplayName() follows it. Setting a display name
    // as well would make the platform append it to the window caption.
    QApplication::setApplicationName(QStringLiteral("Corvanta"));
    QApplication::setDesktopFileName(QStringLiteral("corvanta"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/corvanta.png")));

    F_Principal F_Principal;
    if (!F_Principal.FormCreate())
        return 1;
    F_Principal.show();
    return app.exec();
}
