// The window on a screen smaller than itself: the offscreen screen (800 x 800) at scale 2 leaves
// 400 x 400, where the window fits the screen and its content scrolls to every control.
#include "ui/principal.h"
#include "ui/style.h"
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

class TestSmallScreen : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Whether `w`, once scrolled to, lies inside the screen's work area.
    static bool reachable(QScrollArea* scroll, QWidget* w, const QRect& area) {
        scroll->ensureWidgetVisible(w, 0, 0);
        QCoreApplication::processEvents();
        const QRect onScreen(w->mapToGlobal(QPoint(0, 0)), w->size());
        const QRect viewport(scroll->viewport()->mapToGlobal(QPoint(0, 0)), scroll->viewport()->size());
        return area.contains(onScreen) && viewport.contains(onScreen);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("APPDATA", QFile::encodeName(m_dir.path()));
        ApplyVisualStyle(*qApp);
    }

    void everyControlStaysReachable() {
        F_Principal w;
        QVERIFY(w.FormCreate());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect area = w.screen()->availableGeometry();
        QVERIFY2(area.width() < 619 && area.height() < 650,
                 qPrintable(QStringLiteral("screen %1x%2").arg(area.width()).arg(area.height())));
        QVERIFY2(area.contains(w.frameGeometry()),
                 qPrintable(QStringLiteral("window %1,%2 %3x%4")
                                .arg(w.frameGeometry().x())
                                .arg(w.frameGeometry().y())
                                .arg(w.frameGeometry().width())
                                .arg(w.frameGeometry().height())));
        auto* scroll = w.findChild<QScrollArea*>(QStringLiteral("Scroller"));
        QVERIFY(scroll);
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
        auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("PageLog"));
        QVERIFY(reachable(scroll, w.findChild<QPushButton*>(QStringLiteral("B_go")), area));
        QVERIFY(reachable(scroll, tabs->tabBar(), area));
        tabs->setCurrentIndex(1);
        QVERIFY(reachable(scroll, w.findChild<QComboBox*>(QStringLiteral("ComboLangue")), area));
        QVERIFY(reachable(scroll, w.findChild<QPushButton*>(QStringLiteral("B_Stop")), area));
    }
};

int main(int argc, char** argv) {
    // Set before the application starts: the scale applies to every screen.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_smallscreen.moc"
