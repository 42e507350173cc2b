// SPDX-License-Identifier: Apache-2.0
#include "app/editcommand.h"
#include "app/focusstyle.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "guitest.h"
#include "testdata.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

using namespace corvane;

// Editing in the window: the gestures reach the core edits, and undo and
// redo run through the model without losing the view's selection.
class TestEditing : public QObject
{
    Q_OBJECT

    static void load(MainWindow &w, int rows)
    {
        QList<TestRow> list;
        for (int i = 0; i < rows; ++i)
            list.append({QStringLiteral("T%1").arg(i / 3), i, double(i), -double(i)});
        w.trackModel()->replace([&](TrackTable &t) { t = importedTable(list); });
    }
    static void trigger(MainWindow &w, const char *action)
    {
        w.findChild<QAction *>(QLatin1String(action))->trigger();
    }
    static void
    select(MainWindow &w, int top, int left, int bottom, int right,
           QItemSelectionModel::SelectionFlags how = QItemSelectionModel::ClearAndSelect)
    {
        QAbstractItemModel *m = w.table()->model();
        w.table()->selectionModel()->select(
            QItemSelection(m->index(top, left), m->index(bottom, right)), how);
    }
    static QString cell(MainWindow &w, int r, int c) { return w.trackModel()->table().text(r, c); }
    static void answerText(const QString &text)
    {
        whenModal<QInputDialog>([=](QInputDialog *d) {
            d->setTextValue(text);
            d->accept();
        });
    }

private slots:
    void copyPasteUndoRedo()
    {
        MainWindow w;
        load(w, 9);
        select(w, 0, 1, 1, 2);
        trigger(w, "actionCopy");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0\t0.000000\n1\t1.000000"));
        select(w, 6, 1, 6, 1);
        trigger(w, "actionPaste");
        QCOMPARE(cell(w, 7, 2), QStringLiteral("1.000000"));
        QCOMPARE(cell(w, 6, 1), QStringLiteral("0"));
        // The selection survives the paste, its undo and its redo.
        QVERIFY(w.table()->selectionModel()->isSelected(w.trackModel()->index(6, 1)));
        QCOMPARE(w.trackModel()->undoStack()->undoText(), QStringLiteral("Paste"));
        trigger(w, "actionUndo");
        QCOMPARE(cell(w, 6, 1), QStringLiteral("6"));
        QCOMPARE(cell(w, 7, 2), QStringLiteral("7.000000"));
        trigger(w, "actionRedo");
        QCOMPARE(cell(w, 7, 1), QStringLiteral("1"));
        QVERIFY(w.table()->selectionModel()->isSelected(w.trackModel()->index(6, 1)));

        // Typing into a cell is an edit like any other.
        w.trackModel()->setData(w.trackModel()->index(8, 0), QStringLiteral("Z"));
        QCOMPARE(w.trackModel()->undoStack()->undoText(), QStringLiteral("Edit Cell"));
        trigger(w, "actionUndo");
        QCOMPARE(cell(w, 8, 0), QStringLiteral("T2"));
    }

    void groupRenameAndDelete()
    {
        MainWindow w;
        load(w, 9);
        select(w, 4, 2, 4, 2);
        trigger(w, "actionTrackNames");
        trigger(w, "actionCopy");
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("T1\nT1\nT1\n"));
        QString prompt;
        whenModal<QInputDialog>([&](QInputDialog *d) {
            prompt = d->labelText();
            QCOMPARE(d->textValue(), QStringLiteral("T1"));
            d->setTextValue(QStringLiteral("B"));
            d->accept();
        });
        trigger(w, "actionRename");
        QCOMPARE(prompt, QStringLiteral("New track name:"));
        for (int r = 3; r < 6; ++r)
            QCOMPARE(cell(w, r, 0), QStringLiteral("B"));
        // The cell the selection started from keeps its number.
        QCOMPARE(cell(w, 4, 2), QStringLiteral("4.000000"));
        trigger(w, "actionUndo");
        QCOMPARE(cell(w, 3, 0), QStringLiteral("T1"));
        // With no Track Name cell selected, nothing is renamed and the user is told why.
        select(w, 1, 1, 2, 3);
        QString told;
        whenModal<QMessageBox>([&](QMessageBox *b) {
            told = b->text();
            b->accept();
        });
        trigger(w, "actionRename");
        QVERIFY2(told.startsWith(QLatin1String("Rename changes track names")), qPrintable(told));
        QCOMPARE(cell(w, 1, 1), QStringLiteral("1"));

        w.trackModel()->table().setData(5, 2, Qt::ToolTipRole, QStringLiteral("tip"));
        select(w, 2, 1, 2, 1);
        select(w, 5, 0, 5, 0, QItemSelectionModel::Select);
        trigger(w, "actionDeleteEntireRows");
        QCOMPARE(w.trackModel()->rowCount(), 7);
        QCOMPARE(cell(w, 2, 1), QStringLiteral("3"));
        QCOMPARE(cell(w, 4, 1), QStringLiteral("6"));
        trigger(w, "actionUndo");
        QCOMPARE(w.trackModel()->rowCount(), 9);
        QCOMPARE(cell(w, 5, 1), QStringLiteral("5"));
        QCOMPARE(w.trackModel()->index(5, 2).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("tip"));
    }

    void keyboard()
    {
        MainWindow w;
        load(w, 6);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.table()->setFocus();
        select(w, 1, 0, 2, 3);
        QTest::keyClick(w.table(), Qt::Key_Delete);
        QVERIFY(w.trackModel()->table().isBlank(2, 1));
        QCOMPARE(w.trackModel()->rowCount(), 6);
        QTest::keyClick(w.table(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cell(w, 2, 1), QStringLiteral("2"));
        QTest::keyClick(w.table(), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(w.trackModel()->table().isBlank(2, 1));
    }

    // Many separate rows: the view is told to start over, and undo still
    // restores every row.
    void deleteManyRowsAndMove()
    {
        MainWindow w;
        load(w, 600);
        for (int r = 0; r < 600; r += 2)
            select(w, r, 0, r, 0, QItemSelectionModel::Select);
        trigger(w, "actionDeleteEntireRows");
        QCOMPARE(w.trackModel()->rowCount(), 300);
        QCOMPARE(cell(w, 299, 1), QStringLiteral("599"));
        trigger(w, "actionUndo");
        QCOMPARE(w.trackModel()->rowCount(), 600);
        QCOMPARE(cell(w, 599, 1), QStringLiteral("599"));

        // Whole rows move; their selection goes with them.
        select(w, 10, 0, 11, 3);
        answerText(QStringLiteral("2"));
        w.findChild<QPushButton *>(QStringLiteral("rowSend"))->click();
        QCOMPARE(cell(w, 1, 1), QStringLiteral("10"));
        QVERIFY(w.table()->selectionModel()->isRowSelected(2, QModelIndex()));
        QCOMPARE(w.trackModel()->undoStack()->undoText(), QStringLiteral("Move Go to Line"));
        trigger(w, "actionUndo");
        QCOMPARE(cell(w, 1, 1), QStringLiteral("1"));
    }
    // Prompts say what to enter; edits that need rows wait for them; Shape
    // on a point track says why nothing was selected; row numbers fit.
    void promptsAndEmptyTables()
    {
        MainWindow w;
        auto *copy = w.findChild<QAction *>(QStringLiteral("actionCopy"));
        auto *addRowsAction = w.findChild<QAction *>(QStringLiteral("actionAddRows"));
        QVERIFY(!copy->isEnabled());
        QVERIFY(addRowsAction->isEnabled());
        QString prompt;
        whenModal<QInputDialog>([&](QInputDialog *d) {
            prompt = d->labelText();
            d->setTextValue(QStringLiteral("4"));
            d->accept();
        });
        trigger(w, "actionAddRows");
        QCOMPARE(prompt, QStringLiteral("Rows to add:"));
        QCOMPARE(w.trackModel()->rowCount(), 4);
        QVERIFY(copy->isEnabled());

        load(w, 6);
        select(w, 4, 0, 4, 3);
        whenModal<QInputDialog>([&](QInputDialog *d) {
            prompt = d->labelText();
            d->setTextValue(QStringLiteral("1"));
            d->accept();
        });
        w.findChild<QPushButton *>(QStringLiteral("rowSend"))->click();
        QCOMPARE(prompt, QStringLiteral("Move the selected rows to line:"));
        QCOMPARE(cell(w, 0, 1), QStringLiteral("4"));
        // Without a whole row, Go to Line says what it needs and asks nothing.
        select(w, 2, 1, 2, 1);
        QString told;
        answerMessage(&told);
        w.findChild<QPushButton *>(QStringLiteral("rowSend"))->click();
        QVERIFY2(told.startsWith(QLatin1String("Go to Line moves whole rows")), qPrintable(told));
        // Select Group without a selected cell says so too.
        w.table()->clearSelection();
        told.clear();
        answerMessage(&told);
        trigger(w, "actionShape");
        QVERIFY2(told.contains(QLatin1String("select a cell of the shape first")),
                 qPrintable(told));

        select(w, 2, 1, 2, 1);
        whenModal<QMessageBox>([&](QMessageBox *b) {
            told = b->text();
            b->accept();
        });
        trigger(w, "actionShape");
        QVERIFY2(told.startsWith(QLatin1String("No shape was selected: \"T0\" is a point track")),
                 qPrintable(told));

        const int narrow = w.table()->verticalHeader()->width();
        load(w, 100000);
        QVERIFY(w.table()->verticalHeader()->width() > narrow);
        QVERIFY(
            w.table()->verticalHeader()->width() >=
            w.table()->verticalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("100000")));
        w.trackModel()->replace([](TrackTable &t) { t = TrackTable(); });
        QVERIFY(!copy->isEnabled());
    }
    // Marked rows and selected rows look apart, and the marks are counted.
    void marksAreCountedAndLookApart()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        MainWindow w;
        load(w, 6);
        auto *count = w.findChild<QLabel *>(QStringLiteral("markedCountLabel"));
        QCOMPARE(count->text(), QString());
        select(w, 1, 0, 2, 0);
        trigger(w, "actionSetAsSelected");
        QCOMPARE(count->text(), QStringLiteral("2 rows marked"));
        select(w, 2, 1, 2, 1);
        trigger(w, "actionDeselect");
        QCOMPARE(count->text(), QStringLiteral("1 row marked"));
        trigger(w, "actionUndo");
        QCOMPARE(count->text(), QStringLiteral("2 rows marked"));
        const QColor mark =
            w.trackModel()->index(1, 0).data(Qt::BackgroundRole).value<QBrush>().color();
        const QColor highlight = w.table()->palette().color(QPalette::Active, QPalette::Highlight);
        // Far apart in hue and in brightness, not two blues.
        QVERIFY(std::abs(mark.hue() - highlight.hue()) > 90);
        QVERIFY(std::abs(mark.lightness() - highlight.lightness()) > 20);
        QLocale::setDefault(QLocale::system());
    }
    // Tab walks Step 3 in the order it reads; Ctrl+Tab leaves the table.
    void tabOrder()
    {
        MainWindow w;
        load(w, 3);
        w.chooseExportTarget(QStringLiteral("/tmp/tab.txt"),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        w.findChild<QLineEdit *>(QStringLiteral("plateResWidth"))->setText(QStringLiteral("1920"));
        w.findChild<QLineEdit *>(QStringLiteral("plateResHight"))->setText(QStringLiteral("1080"));
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.table()->setFocus();
        QTest::keyClick(w.table(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("rowFirst"));
        w.findChild<QWidget *>(QStringLiteral("plateResWidth"))->setFocus();
        QStringList seen{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 13; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(seen, QStringList({"plateResWidth", "plateResHight", "imageSizeCombo",
                                    "predefinedSettingCombo", "X0", "X1", "Y0", "Y1", "par",
                                    "programConventionsCheck", "importFirstText", "exportFirstText",
                                    "applyAllButton", "resetValuesButton"}));

        // Whatever has the focus wears the mark: a flat button, a field, a box, a tree.
        QApplication::setStyle(new FocusStyle);
        const QRgb mark = FocusStyle::markColour().rgb();
        for (const char *name : {"rowFirst", "X0", "programConventionsCheck", "imageSizeCombo",
                                 "importFilesTree", "applyAllButton"}) {
            auto *widget = w.findChild<QWidget *>(QLatin1String(name));
            widget->setFocus();
            QApplication::processEvents();
            const QImage picture = widget->grab().toImage();
            int marked = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    marked += picture.pixel(x, y) == mark;
            QVERIFY2(marked > picture.width(), name);
        }
    }
    // The history keeps within its memory budget, the newest steps and the
    // clean state with them, and the Edit menu says what was let go.
    void undoKeepsWithinItsBudget()
    {
        MainWindow w;
        load(w, 20000);
        TrackModel *m = w.trackModel();
        auto sortOnce = [&](const char *action) { trigger(w, action); };
        sortOnce("actionHigh");
        const qint64 step =
            static_cast<const EditCommand *>(m->undoStack()->command(m->undoStack()->count() - 1))
                ->memoryBytes();
        QVERIFY(step >= 20000 * qint64(sizeof(int))); // the order, at least
        m->setHistoryBudget(step * 5 / 2);            // two sorts fit, not three
        m->undoStack()->clear();
        sortOnce("actionLow");
        m->undoStack()->setClean();
        const QString saved = cell(w, 0, 1) + cell(w, 0, 0);
        sortOnce("actionHigh");
        const QString high = cell(w, 0, 1) + cell(w, 0, 0);
        sortOnce("actionLow");
        QCOMPARE(m->undoStack()->count(), 2);
        QCOMPARE(m->droppedSteps(), 1);
        QVERIFY(!m->undoStack()->isClean());
        m->undoStack()->undo();
        QCOMPARE(cell(w, 0, 1) + cell(w, 0, 0), high);
        QVERIFY(!m->undoStack()->isClean());
        m->undoStack()->undo();
        QVERIFY(m->undoStack()->isClean()); // where it was saved
        QCOMPARE(cell(w, 0, 1) + cell(w, 0, 0), saved);
        QVERIFY(!m->undoStack()->canUndo()); // the oldest step is gone
        m->undoStack()->redo();
        QCOMPARE(cell(w, 0, 1) + cell(w, 0, 0), high);
        // A single step larger than the budget still stays.
        m->setHistoryBudget(1);
        sortOnce("actionHigh");
        QCOMPARE(m->undoStack()->count(), 1);
        QVERIFY(w.findChild<QAction *>(QStringLiteral("actionUndo"))
                    ->toolTip()
                    .contains(QLatin1String("oldest steps were let go")));
    }
};

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
