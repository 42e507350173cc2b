// SPDX-License-Identifier: Apache-2.0
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "app/trackview.h"
#include "guitest.h"
#include "testdata.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

using namespace corvane;

// The track view beside the window: selection both ways, and it follows
// the table through edits and undo.
class TestTrackView : public QObject
{
    Q_OBJECT

    static void load(MainWindow &w)
    {
        QList<TestRow> rows;
        for (int t = 0; t < 3; ++t)
            for (int f = 1; f <= 10; ++f)
                rows.append({QStringLiteral("T%1").arg(t), f, 100.0 * t + f, 50.0 + f});
        w.trackModel()->replace([&](TrackTable &table) { table = importedTable(rows); });
    }

    static TrackViewWindow *open(MainWindow &w)
    {
        w.findChild<QAction *>(QStringLiteral("actionTrackView"))->trigger();
        TrackViewWindow *view = w.trackView();
        if (view) view->resize(600, 400);
        return view;
    }

private slots:
    void selectionBothWays()
    {
        MainWindow w;
        load(w);
        w.show();
        TrackViewWindow *view = open(w);
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->paths().tracks().size(), size_t(3));

        // Table to view: a cell of T1 highlights T1.
        QAbstractItemModel *m = w.table()->model();
        w.table()->selectionModel()->select(m->index(12, 2), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(view->canvas()->selectedTracks(), std::vector<char>({0, 1, 0}));

        // View to table: clicking T2's point at the current frame selects its rows.
        TrackCanvas *canvas = view->canvas();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QPointF point;
        QVERIFY(view->paths().pointAt(2, canvas->frame(), &point));
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->toWidget().map(point).toPoint());
        QItemSelectionModel *selection = w.table()->selectionModel();
        QVERIFY(selection->isRowSelected(20, QModelIndex()));
        QVERIFY(selection->isRowSelected(29, QModelIndex()));
        QVERIFY(!selection->isRowSelected(12, QModelIndex()));
        QCOMPARE(view->canvas()->selectedTracks(), std::vector<char>({0, 0, 1}));
    }

    void followsEditsAndUndo()
    {
        MainWindow w;
        load(w);
        w.show();
        TrackViewWindow *view = open(w);
        w.table()->selectionModel()->select(
            QItemSelection(w.table()->model()->index(0, 0), w.table()->model()->index(9, 3)),
            QItemSelectionModel::ClearAndSelect);
        w.findChild<QAction *>(QStringLiteral("actionDeleteEntireRows"))->trigger();
        QTRY_COMPARE(view->paths().tracks().size(), size_t(2));
        w.trackModel()->undoStack()->undo();
        QTRY_COMPARE(view->paths().tracks().size(), size_t(3));

        // The imported values or the shown ones.
        w.trackModel()->table().setConverted(0, 1, 51, 0.5, 0.5);
        view->setValues(PathValues::Imported);
        QCOMPARE(view->paths().tracks()[0].points[0], QPointF(1, 51));
        view->setValues(PathValues::Converted);
        QCOMPARE(view->paths().tracks()[0].points[0], QPointF(0.5, 0.5));
    }
};

QTEST_MAIN(TestTrackView)
#include "tst_trackview.moc"
