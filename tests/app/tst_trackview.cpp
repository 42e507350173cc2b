// SPDX-License-Identifier: Apache-2.0
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "app/trackview.h"
#include "app/trackviewstep.h"
#include "formats/kit/shapes.h"
#include "guitest.h"
#include "testdata.h"

#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
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
    // Beside the window where it fits, else on its other side, else over
    // the table, never over Step 3 or the save buttons.
    void placedWhereItHidesNothingNeeded()
    {
        const QSize view(720, 520);
        const QRect window(400, 150, 800, 530);
        const QRect table(664, 180, 381, 211);
        const QList<QRect> keep{QRect(664, 396, 530, 256), QRect(1082, 294, 112, 96)};
        // A wide screen: to the right.
        QCOMPARE(trackViewPlace(QRect(0, 0, 2560, 1440), window, table, keep, view).topLeft(),
                 QPoint(1208, 150));
        // The window at the screen's right edge: to its left.
        const QRect atRight(1750, 150, 800, 530);
        QCOMPARE(trackViewPlace(QRect(0, 0, 2560, 1440), atRight, table, keep, view).topLeft(),
                 QPoint(1022, 150));
        // A 1600-pixel screen: over the table, clear of what must stay in sight.
        const QRect room(0, 0, 1600, 900);
        const QRect over = trackViewPlace(room, window, table, keep, view);
        QVERIFY(room.contains(over));
        QVERIFY(over.intersects(table));
        for (const QRect &clear : keep)
            QVERIFY2(!over.intersects(clear), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                             .arg(over.x())
                                                             .arg(over.y())
                                                             .arg(over.width())
                                                             .arg(over.height())));
        QVERIFY(over.width() >= 320 && over.height() >= 200);
    }

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

        // The imported values, or the shown ones at the pixels their Apply
        // took them through (not the target's 0.5, 0.5).
        w.trackModel()->table().setConverted(0, 1, 51, 0.5, 0.5);
        view->setValues(PathValues::Imported);
        QCOMPARE(view->paths().tracks()[0].points[0], QPointF(1, 51));
        view->setValues(PathValues::Converted);
        QCOMPARE(view->paths().tracks()[0].points[0], QPointF(1, 51));
    }

    // Whatever the programs' conventions, every point lands on the plate
    // where it is (pixels from the top-left), imported or converted; frames
    // count as the values shown count them.
    void pointsLandOnThePlate()
    {
        MainWindow w;
        const QList<std::tuple<const char *, double, double>> sources{
            {"3DE v4 Track File (*.txt)", 100, 400},               // pixels, Y up
            {"MatchMover/Movimento Track File (*.rz2)", 100, 100}, // pixels, Y down
            {"SynthEyes Track File (*.txt)", -0.8, -0.6}};         // -1..1 from the centre, Y down
        w.trackModel()->replace([&](TrackTable &t) {
            t.setColumnCount(TrackColumnCount);
            t.setRowCount(int(sources.size()));
            int r = 0;
            for (const auto &[filter, x, y] : sources) {
                t.setImportedRow(r, t.internName(QStringLiteral("T%1").arg(r)), 1, x, y,
                                 t.internSource(QLatin1String(filter)));
                ++r;
            }
        });
        w.findChild<QCheckBox *>(QStringLiteral("programConventionsCheck"))->setChecked(false);
        w.findChild<QLineEdit *>(QStringLiteral("plateResWidth"))->setText(QStringLiteral("1000"));
        w.findChild<QLineEdit *>(QStringLiteral("plateResHight"))->setText(QStringLiteral("500"));
        w.findChild<QLineEdit *>(QStringLiteral("importFirstText"))->setText(QStringLiteral("1"));
        w.findChild<QLineEdit *>(QStringLiteral("exportFirstText"))
            ->setStatusTip(QStringLiteral("1"));
        w.show();
        TrackViewWindow *view = open(w);
        view->setValues(PathValues::Imported);
        auto near = [](QPointF a, QPointF b) {
            return std::hypot(a.x() - b.x(), a.y() - b.y()) < 1e-6;
        };
        for (size_t t = 0; t < 3; ++t)
            QVERIFY2(near(view->paths().tracks()[t].points[0], QPointF(100, 100)),
                     qPrintable(view->paths().tracks()[t].name));
        // Converted for a normalised, centred target: still where they were.
        for (const char *target : {"SynthEyes Track File (*.txt)", "Maya Live Track File (*.txt)",
                                   "After Effects Track File (*.txt)"}) {
            w.chooseExportTarget(QStringLiteral("/tmp/view.txt"), QLatin1String(target));
            w.findChild<QLineEdit *>(QStringLiteral("exportFirstText"))
                ->setText(QStringLiteral("1001"));
            w.applySettings();
            view->setValues(PathValues::Converted);
            QTRY_COMPARE(view->paths().firstFrame(), 1001);
            for (size_t t = 0; t < 3; ++t)
                QVERIFY2(near(view->paths().tracks()[t].points[0], QPointF(100, 100)), target);
            view->setValues(PathValues::Imported);
            QCOMPARE(view->paths().firstFrame(), 1);
            w.trackModel()->undoStack()->undo();
        }
        // A new plate: the view takes it in whole.
        const double before = view->canvas()->toWidget().map(QPointF(1000, 500)).x();
        w.findChild<QLineEdit *>(QStringLiteral("plateResWidth"))->setText(QStringLiteral("4000"));
        QVERIFY(view->canvas()->toWidget().map(QPointF(4000, 500)).x() <= before + 1);
        // F3 (the menu's action) hides it, and again shows it.
        w.findChild<QAction *>(QStringLiteral("actionTrackView"))->trigger();
        QVERIFY(!view->isVisible());
        w.findChild<QAction *>(QStringLiteral("actionTrackView"))->trigger();
        QVERIFY(view->isVisible());
    }

    // A closed shape's outline runs from its last vertex back to its first;
    // an open one's (a stroke) stops at its last vertex.
    void openShapesDrawOpen()
    {
        QList<TestRow> rows;
        for (int s = 1; s <= 2; ++s) {
            const double left = s == 1 ? 0 : 200;
            const QList<QPointF> corners{{left, 0}, {left + 100, 0}, {left + 50, 100}};
            for (int v = 1; v <= 3; ++v) {
                const QString name = s == 1 ? shapeVertexName(s, v) : openShapeVertexName(s, v);
                rows.append({name, 1, corners[v - 1].x(), corners[v - 1].y()});
            }
        }
        const TrackPaths paths = TrackPaths::build(importedTable(rows), PathValues::Imported);
        QCOMPARE(paths.shapes().size(), size_t(2));
        TrackCanvas canvas;
        canvas.setPaths(&paths);
        canvas.setFrame(1);
        QImage image(400, 200, QImage::Format_RGB32);
        canvas.paintInto(image);
        const QColor background(34, 34, 34);
        // Whether anything is drawn within a pixel of the data point.
        auto drawnAt = [&](QPointF data) {
            const QPoint at = canvas.toWidget().map(data).toPoint();
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (image.pixelColor(at + QPoint(dx, dy)) != background) return true;
            return false;
        };
        QVERIFY(drawnAt({25, 50}));   // S01: third vertex back to the first
        QVERIFY(drawnAt({250, 0}));   // S02: first to second
        QVERIFY(drawnAt({275, 50}));  // S02: second to third
        QVERIFY(!drawnAt({225, 50})); // S02: no edge back to the first
    }
};

QTEST_MAIN(TestTrackView)
#include "tst_trackview.moc"
