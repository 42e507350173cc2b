// SPDX-License-Identifier: Apache-2.0
#include "app/mainwindow.h"
#include "app/operationdialog.h"
#include "app/trackmodel.h"
#include "guitest.h"
#include "testdata.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

using namespace corvane;

// The Tracks menu: each operation's dialog counts what it will change, the
// operation is one undo step, and it works on the selected tracks alone
// when rows are selected.
class TestTracksMenu : public QObject
{
    Q_OBJECT

    // Two tracks of three keys: A at frames 1..3, B at 1..3.
    static void load(MainWindow &w)
    {
        QList<TestRow> rows;
        for (int i = 0; i < 6; ++i)
            rows.append(
                {i < 3 ? QStringLiteral("A") : QStringLiteral("B"), i % 3 + 1, 10.0 * i, 20.0 + i});
        w.trackModel()->replace([&](TrackTable &t) { t = importedTable(rows); });
        PlateSettings s = w.plateSettings();
        s.plateWidth = QStringLiteral("4096");
        s.plateHeight = QStringLiteral("2160");
        w.showPlateSettings(s);
    }
    static QString cell(MainWindow &w, int r, int c) { return w.trackModel()->table().text(r, c); }
    // Answers the next operation dialog with values (in field order), and
    // remembers its count line as it stood.
    static void answer(const QStringList &values, QString *countLine = nullptr)
    {
        whenModal<OperationDialog>([=](OperationDialog *d) {
            for (int i = 0; i < values.size(); ++i) {
                QWidget *f = d->findChild<QWidget *>(QStringLiteral("operationField%1").arg(i));
                if (auto *combo = qobject_cast<QComboBox *>(f))
                    combo->setCurrentText(values[i]);
                else
                    qobject_cast<QLineEdit *>(f)->setText(values[i]);
            }
            d->recount();
            if (countLine)
                *countLine = d->findChild<QLabel *>(QStringLiteral("operationCount"))->text();
            d->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            if (d->isVisible()) d->reject(); // Ok refused: the test sees the table unchanged
        });
    }
    static void trigger(MainWindow &w, const char *action)
    {
        QAction *a = w.findChild<QAction *>(QLatin1String(action));
        QVERIFY2(a, action);
        a->trigger();
    }

private slots:
    void menuSitsAfterEditAndKeepsTheWindow()
    {
        MainWindow w;
        QStringList titles;
        for (QAction *a : w.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{QStringLiteral("File"), QStringLiteral("Edit"),
                                      QStringLiteral("Tracks"), QStringLiteral("View"),
                                      QStringLiteral("Info")}));
        QCOMPARE(w.size(), QSize(800, 506));
        // Nothing to operate on: the operations wait for rows.
        QVERIFY(!w.findChild<QAction *>(QStringLiteral("actionTrackSlip"))->isEnabled());
        load(w);
        QVERIFY(w.findChild<QAction *>(QStringLiteral("actionTrackSlip"))->isEnabled());
    }

    void slipIsOneUndoStepAndCountsFirst()
    {
        MainWindow w;
        load(w);
        QString count;
        answer({QStringLiteral("1000")}, &count);
        trigger(w, "actionTrackSlip");
        QVERIFY2(count.contains(QLatin1String("6")), qPrintable(count));
        QCOMPARE(cell(w, 0, FrameColumn), QStringLiteral("1001"));
        QCOMPARE(cell(w, 5, FrameColumn), QStringLiteral("1003"));
        QCOMPARE(cell(w, 1, XColumn), QStringLiteral("10.000000")); // coordinates untouched
        QUndoStack *undo = w.trackModel()->undoStack();
        QCOMPARE(undo->undoText(), QStringLiteral("Slip"));
        undo->undo();
        QCOMPARE(cell(w, 0, FrameColumn), QStringLiteral("1"));
        undo->redo();
        QCOMPARE(cell(w, 0, FrameColumn), QStringLiteral("1001"));
    }

    // Typing counts after a pause, on a worker: the line follows the values.
    void typingCountsInTheBackground()
    {
        MainWindow w;
        load(w);
        QString line;
        whenModal<OperationDialog>([&](OperationDialog *d) {
            auto *field = d->findChild<QLineEdit *>(QStringLiteral("operationField0"));
            field->setText(QStringLiteral("ten"));
            field->setText(QStringLiteral("5"));
            auto *count = d->findChild<QLabel *>(QStringLiteral("operationCount"));
            QTRY_VERIFY_WITH_TIMEOUT(count->text().startsWith(QLatin1String("slip +5")), 3000);
            line = count->text();
            d->reject();
        });
        trigger(w, "actionTrackSlip");
        QVERIFY2(line.contains(QLatin1String("6 keys")), qPrintable(line));
        QCOMPARE(cell(w, 0, FrameColumn), QStringLiteral("1")); // rejected: nothing done
    }

    void badValuesAreRefusedInTheDialog()
    {
        MainWindow w;
        load(w);
        const int steps = w.trackModel()->undoStack()->count();
        QString count;
        answer({QStringLiteral("ten")}, &count);
        trigger(w, "actionTrackSlip");
        QVERIFY2(count.contains(QLatin1String("ten")), qPrintable(count));
        QVERIFY2(!count.startsWith(QLatin1String("--")), qPrintable(count));
        QCOMPARE(cell(w, 0, FrameColumn), QStringLiteral("1"));
        QCOMPARE(w.trackModel()->undoStack()->count(), steps);
    }

    void selectedRowsLimitTheOperationToTheirTracks()
    {
        MainWindow w;
        load(w);
        QAbstractItemModel *m = w.table()->model();
        w.table()->selectionModel()->select(m->index(4, 0), QItemSelectionModel::ClearAndSelect);
        answer({QStringLiteral("sh010_")});
        trigger(w, "actionTrackPrefix");
        QCOMPARE(cell(w, 0, NameColumn), QStringLiteral("A"));
        QCOMPARE(cell(w, 3, NameColumn), QStringLiteral("sh010_B"));
        QCOMPARE(cell(w, 5, NameColumn), QStringLiteral("sh010_B"));
    }

    void reformatTakesThePlateAndUndoGivesItBack()
    {
        MainWindow w;
        load(w);
        // The plate is every track's: a selection does not narrow a reformat.
        QAbstractItemModel *m = w.table()->model();
        w.table()->selectionModel()->select(m->index(4, 0), QItemSelectionModel::ClearAndSelect);
        answer({QStringLiteral("2048"), QStringLiteral("1080")});
        trigger(w, "actionTrackReformat");
        QCOMPARE(w.plateSettings().plateWidth, QStringLiteral("2048"));
        QCOMPARE(w.plateSettings().plateHeight, QStringLiteral("1080"));
        QCOMPARE(cell(w, 1, XColumn), QStringLiteral("5.000000"));
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.plateSettings().plateWidth, QStringLiteral("4096"));
        QCOMPARE(cell(w, 1, XColumn), QStringLiteral("10.000000"));
        w.trackModel()->undoStack()->redo();
        QCOMPARE(w.plateSettings().plateHeight, QStringLiteral("1080"));
    }

    void trimReportsTheTracksItRemoves()
    {
        MainWindow w;
        load(w);
        QString count;
        answer({QStringLiteral("2"), QStringLiteral("3")}, &count);
        trigger(w, "actionTrackTrim");
        QCOMPARE(w.trackModel()->rowCount(), 4);
        QVERIFY2(count.contains(QLatin1String("2")), qPrintable(count));
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->rowCount(), 6);
    }
};

QTEST_MAIN(TestTracksMenu)
#include "tst_tracksmenu.moc"
