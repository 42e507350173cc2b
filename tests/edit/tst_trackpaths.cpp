// SPDX-License-Identifier: Apache-2.0
#include "edit/trackpaths.h"
#include "testdata.h"

#include <QTest>

using namespace corvane;

class TestTrackPaths : public QObject
{
    Q_OBJECT

private slots:
    void tracksFramesAndLookups()
    {
        // Rows out of frame order, a track split in two runs, a row that is no number.
        TrackTable t = importedTable({{"A", 3, 30, 3},
                                      {"B", 1, 5, 5},
                                      {"A", 1, 10, 1},
                                      {"A", 2, 20, 2},
                                      {"B", 2, 6, 6},
                                      {"A", 2, 21, 22}});
        t.setItemText(4, XColumn, QStringLiteral("oops"));
        const TrackPaths paths = TrackPaths::build(t, PathValues::Converted);
        QCOMPARE(paths.tracks().size(), size_t(2));
        const TrackPath &a = paths.tracks()[0];
        QCOMPARE(a.name, QStringLiteral("A"));
        QCOMPARE(a.frames, std::vector<int>({1, 2, 2, 3}));
        QCOMPARE(paths.tracks()[1].rows, std::vector<int>({1}));
        QCOMPARE(paths.trackOfRow(5), 0);
        QCOMPARE(paths.trackOfRow(4), -1);
        QCOMPARE(paths.firstFrame(), 1);
        QCOMPARE(paths.lastFrame(), 3);
        QCOMPARE(paths.bounds(), QRectF(QPointF(5, 1), QPointF(30, 22)));

        QPointF p;
        int row = -1;
        QVERIFY(paths.pointAt(0, 2, &p, &row)); // the later of the two rows of frame 2
        QCOMPARE(p, QPointF(21, 22));
        QCOMPARE(row, 5);
        QVERIFY(!paths.pointAt(1, 2, &p));
        QVERIFY(!paths.pointAt(1, 7, &p));

        QCOMPARE(paths.trackNear(QPointF(5.5, 5), 1, 1), 1);
        QCOMPARE(paths.trackNear(QPointF(15, 1.5), 1, 1), 0); // on A's path, between frames
        QCOMPARE(paths.trackNear(QPointF(15, 1.5), 1, 1, false), -1);
        QCOMPARE(paths.trackNear(QPointF(100, 100), 1, 1), -1);
    }

    void importedOrConverted()
    {
        TrackTable t = importedTable({{"A", 1, 10, 20}});
        t.setConverted(0, 10, 20, 0.5, 0.25);
        QCOMPARE(TrackPaths::build(t, PathValues::Converted).tracks()[0].points[0],
                 QPointF(0.5, 0.25));
        QCOMPARE(TrackPaths::build(t, PathValues::Imported).tracks()[0].points[0], QPointF(10, 20));
    }

    void shapesInVertexOrder()
    {
        TrackTable t = importedTable({{"S01_Track_10", 1, 0, 0},
                                      {"S01_Track_2", 1, 1, 0},
                                      {"S02_Track_1", 1, 5, 5},
                                      {"S01_Track_1", 1, 0, 1},
                                      {"Track_1", 1, 9, 9}});
        const TrackPaths paths = TrackPaths::build(t, PathValues::Converted);
        QCOMPARE(paths.shapes().size(), size_t(2));
        QCOMPARE(paths.shapes()[0].name, QStringLiteral("S01"));
        std::vector<QString> names;
        for (int v : paths.shapes()[0].vertices)
            names.push_back(paths.tracks()[size_t(v)].name);
        QCOMPARE(names, std::vector<QString>({"S01_Track_1", "S01_Track_2", "S01_Track_10"}));
        QCOMPARE(paths.tracks()[4].shape, -1);
    }

    // Between keys a point lies on the straight line from key to key;
    // before the first key and after the last there is none.
    void betweenKeys()
    {
        const TrackPaths paths = TrackPaths::build(
            importedTable({{"A", 10, 0, 0}, {"A", 20, 100, 50}}), PathValues::Converted);
        QPointF p;
        bool key = false;
        QVERIFY(paths.pointAtOrBetween(0, 10, &p, &key));
        QVERIFY(key);
        QVERIFY(paths.pointAtOrBetween(0, 15, &p, &key));
        QVERIFY(!key);
        QCOMPARE(p, QPointF(50, 25));
        QVERIFY(!paths.pointAtOrBetween(0, 9, &p, &key));
        QVERIFY(!paths.pointAtOrBetween(0, 21, &p, &key));
    }

    // A placement puts rows where it says and renumbers their frames.
    void placement()
    {
        PathPlacement placement;
        placement.place = [](int row, QPointF v) { return QPointF(v.x() + row, 100 - v.y()); };
        placement.frameShift = 1000;
        const TrackPaths paths =
            TrackPaths::build(importedTable({{"A", 1001, 10, 20}, {"A", 1002, 10, 30}}),
                              PathValues::Imported, placement);
        QCOMPARE(paths.tracks()[0].points,
                 std::vector<QPointF>({QPointF(10, 80), QPointF(11, 70)}));
        QCOMPARE(paths.firstFrame(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTrackPaths)
#include "tst_trackpaths.moc"
