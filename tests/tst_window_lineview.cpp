// The window's line lists: notices hidden and shown again, what screen readers see, and the
// context menu's texts.
#include "ui/lineview.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLibraryInfo>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>

namespace {

QStringList shown(const LineView& view) {
    QStringList rows;
    for (qsizetype row = 0; row < view.shownCount(); ++row)
        rows.append(view.shownLine(row));
    return rows;
}

LineBlock block(const QStringList& lines) {
    LineBlock b;
    for (const QString& line : lines)
        b.append(line);
    return b;
}

// A log as a run writes it: errors between the unknown-tag notices.
void fillLog(LineView& view) {
    view.appendLines({QStringLiteral("error 1")});
    view.appendLines({QStringLiteral("--> Tag Unknown (1)"), QStringLiteral("NOTE:a")}, true);
    view.appendLines({QStringLiteral("error 2"), QStringLiteral("error 3")});
    view.appendLines({QStringLiteral("--> Tag Unknown (2)"), QStringLiteral("NOTE:b")}, true);
}

} // namespace

class TestLineView : public QObject {
    Q_OBJECT

private slots:
    // Hiding the notices leaves the other lines, in order, for the view, its selection and
    // copy; lines() keeps them all; lines added meanwhile go where they belong.
    void noticesHidden() {
        LineView view;
        view.resize(200, 120);
        view.show();
        fillLog(view);
        const QStringList all = view.lines();
        QCOMPARE(all.size(), 7);

        view.setNoticesHidden(true);
        QCOMPARE(shown(view), (QStringList{"error 1", "error 2", "error 3"}));
        QCOMPARE(view.lines(), all);
        view.selectAll();
        QCOMPARE(view.selectedText(), QStringLiteral("error 1\nerror 2\nerror 3"));
        view.copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("error 1\nerror 2\nerror 3"));

        // A click on the second row shown selects the second error, not the notice under it.
        const int h = view.fontMetrics().lineSpacing();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 3 + h + h / 2));
        QCOMPARE(view.selectedText(), QStringLiteral("error 2"));

        view.appendLines({QStringLiteral("--> Tag Unknown (3)")}, true);
        view.appendLines({QStringLiteral("error 4")});
        QCOMPARE(shown(view), (QStringList{"error 1", "error 2", "error 3", "error 4"}));
        // Lines of both kinds in one call, as a run's batch brings them.
        view.appendLines(block({QStringLiteral("--> Tag Unknown (4)"), QStringLiteral("error 5"), QStringLiteral("X:y")}),
                         std::vector<bool>{true, false, true});
        QCOMPARE(shown(view), (QStringList{"error 1", "error 2", "error 3", "error 4", "error 5"}));
        QCOMPARE(view.lines().size(), 12);

        // Shown again: every line, the selection still on the same line.
        view.setNoticesHidden(false);
        QCOMPARE(shown(view), view.lines());
        QCOMPARE(view.selectedText(), QStringLiteral("error 2"));

        // A selection from a notice to an error keeps the error; one of notices only goes.
        view.verticalScrollBar()->setValue(0); // the view followed the end when shown again
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 3 + h + h / 2));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 3 + 3 * h + h / 2));
        QCOMPARE(view.selectedText(), QStringLiteral("--> Tag Unknown (1)\nNOTE:a\nerror 2"));
        view.setNoticesHidden(true);
        QCOMPARE(view.selectedText(), QStringLiteral("error 2"));
        view.setNoticesHidden(false);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(10, 3 + h + h / 2)); // a notice
        view.setNoticesHidden(true);
        QVERIFY(view.selectedText().isEmpty());

        view.clear();
        QVERIFY(view.lines().isEmpty());
        QCOMPARE(view.shownCount(), 0);
        view.appendLines({QStringLiteral("n")}, true);
        view.appendLines({QStringLiteral("e")});
        QCOMPARE(shown(view), QStringList{"e"});
        QCOMPARE(view.lines(), (QStringList{"n", "e"}));
    }

    // The scroll range counts the lines shown; a view at the end follows new lines whether the
    // notices are hidden or not, and the line at the top stays at the top across the switch.
    void scrollingWithNoticesHidden() {
        LineView view;
        view.resize(200, 120);
        view.show();
        QScrollBar* v = view.verticalScrollBar();
        for (int i = 1; i <= 100; ++i) {
            view.appendLines({QStringLiteral("line %1").arg(i)});
            view.appendLines({QStringLiteral("notice %1").arg(i), QStringLiteral("echo %1").arg(i)}, true);
        }
        QCOMPARE(v->value(), v->maximum());
        const int allMaximum = v->maximum();
        view.setNoticesHidden(true);
        QCOMPARE(v->maximum(), allMaximum - 200);
        QCOMPARE(v->value(), v->maximum());
        view.appendLines({QStringLiteral("line 101")});
        QCOMPARE(v->value(), v->maximum());
        QCOMPARE(view.shownLine(view.shownCount() - 1), QStringLiteral("line 101"));

        v->setValue(10); // "line 11" at the top
        view.appendLines({QStringLiteral("line 102")});
        QCOMPARE(v->value(), 10);
        view.setNoticesHidden(false);
        QCOMPARE(view.shownLine(v->value()), QStringLiteral("line 11"));
        view.setNoticesHidden(true);
        QCOMPARE(view.shownLine(v->value()), QStringLiteral("line 11"));

        // A long notice widens the scroll range only while notices are shown.
        view.appendLines({QString(300, u'W')}, true);
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        view.setNoticesHidden(false);
        QVERIFY(view.horizontalScrollBar()->maximum() > 0);
    }

    // A run's lines come in blocks of any size, small ones put together and large ones kept as
    // they come: every line is found at its place across the blocks' edges, notices hidden or
    // not, and after a clear.
    void blocks() {
        LineView view;
        QStringList all, errors;
        int n = 0;
        for (const qsizetype size : {1, 3, 4090, 5, 1, 5000, 2, 20000, 1, 7}) {
            QStringList lines;
            std::vector<bool> notices;
            for (qsizetype i = 0; i < size; ++i, ++n) {
                const bool notice = n % 3 == 1;
                lines.append((notice ? QStringLiteral("notice %1") : QStringLiteral("line %1")).arg(n));
                notices.push_back(notice);
                if (!notice)
                    errors.append(lines.back());
            }
            all += lines;
            view.appendLines(block(lines), notices);
        }
        view.appendLines({QString()}); // an empty line is a line
        all.append(QString());
        errors.append(QString());
        QCOMPARE(view.lineCount(), all.size());
        QCOMPARE(view.lines(), all);
        QCOMPARE(shown(view), all);
        view.setNoticesHidden(true);
        QCOMPARE(shown(view), errors);
        view.clear();
        QCOMPARE(view.lineCount(), 0);
        view.appendLines(block({QStringLiteral("after")}));
        QCOMPARE(shown(view), QStringList{QStringLiteral("after")});
    }

    // Screen readers see a list named after the view, with one item per line shown.
    void accessibility_data() {
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("every line") << false << QStringList{"error 1", "--> Tag Unknown (1)", "NOTE:a", "error 2",
                                                            "error 3", "--> Tag Unknown (2)", "NOTE:b"};
        QTest::newRow("notices hidden") << true << QStringList{"error 1", "error 2", "error 3"};
    }
    void accessibility() {
        QFETCH(bool, hidden);
        QFETCH(QStringList, items);
        LineView view;
        view.setAccessibleName(QStringLiteral("Log"));
        view.resize(200, 120);
        view.show();
        fillLog(view);
        view.setNoticesHidden(hidden);

        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Log"));
        QCOMPARE(list->childCount(), items.size());
        for (int i = 0; i < items.size(); ++i) {
            QAccessibleInterface* item = list->child(i);
            QVERIFY(item);
            QCOMPARE(item->role(), QAccessible::ListItem);
            QCOMPARE(item->text(QAccessible::Name), items[i]);
            QCOMPARE(list->indexOfChild(item), i);
            QCOMPARE(item->parent(), list);
            QCOMPARE(list->child(i), item);
        }
        QVERIFY(!list->child(int(items.size())));

        // The items follow the view: a line added is one more item, and after clear() none is left.
        view.appendLines({QStringLiteral("error 4")});
        QCOMPARE(list->childCount(), items.size() + 1);
        QCOMPARE(list->child(int(items.size()))->text(QAccessible::Name), QStringLiteral("error 4"));
        view.selectAll();
        QVERIFY(list->child(0)->state().selected);
        QAccessibleInterface* first = list->child(0);
        view.clear();
        QCOMPARE(list->childCount(), 0);
        QVERIFY(!first->isValid());
    }

    // "Copy" and "Select All" are Qt's own texts, so Qt's French translation names them.
    void contextMenuInFrench() {
        QTranslator qtbase;
        if (!qtbase.load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QSKIP("Qt's French translation is not installed");
        QCoreApplication::installTranslator(&qtbase);
        LineView view;
        view.resize(200, 120);
        view.show();
        view.appendLines({QStringLiteral("a line")});
        view.selectAll();
        QStringList texts;
        QList<bool> enabled;
        QTimer::singleShot(0, this, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions()) {
                    texts.append(a->text());
                    enabled.append(a->isEnabled());
                }
                menu->close();
            }
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), view.viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.viewport(), &event);
        QCoreApplication::removeTranslator(&qtbase);
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0], qtbase.translate("QWidgetTextControl", "&Copy"));
        QCOMPARE(texts[1], qtbase.translate("QWidgetTextControl", "Select All"));
        QVERIFY2(texts[0] != QLatin1String("&Copy") && texts[1] != QLatin1String("Select All"),
                 qPrintable(texts.join(u'|')));
        QCOMPARE(enabled, (QList<bool>{true, true}));
    }
};

QTEST_MAIN(TestLineView)
#include "tst_window_lineview.moc"
