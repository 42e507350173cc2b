// SPDX-License-Identifier: Apache-2.0
// The track operations on real files, each through its format's convention
// (Y up, top-left, PFTrack's and SynthEyes' pixel centres), with values
// worked out by hand, and the plate they hand on to Apply.
#include "import/importer.h"
#include "settings/platesettings.h"
#include "settings/trackoperations.h"
#include "testdata.h"

#include <QTest>

#include <cmath>
#include <cstring>

using namespace corvane;

namespace {

struct Loaded
{
    TrackTable table;
    PlateSettings settings;
};

Loaded load(const QString &path, const char *format)
{
    Loaded l;
    const ImportResult result = importFile(l.table, l.settings, path,
                                           *formatById(QLatin1String(format)), ImportMode::NewList);
    if (!result.ok()) qFatal("%s", qPrintable(result.error));
    return l;
}

TrackOperation op(const char *option, const QString &text = QString())
{
    const ParsedOperation p = parseTrackOperation(QLatin1String(option), text);
    if (!p.operation) qFatal("%s", qPrintable(p.error));
    return *p.operation;
}

double sx(const TrackTable &t, int r)
{
    double x = 0, y = 0;
    t.sourcePoint(r, &x, &y);
    return x;
}

double sy(const TrackTable &t, int r)
{
    double x = 0, y = 0;
    t.sourcePoint(r, &x, &y);
    return y;
}

bool same(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestTrackOperations : public QObject
{
    Q_OBJECT

private slots:
    void reformatHalvesYUpAndTopLeftAlike()
    {
        // 3D Equalizer v3, Y up, 2048 x 778: track "03" starts at (71.7889, 481.708).
        Loaded up = load(sharedSample(QStringLiteral("3de3/3de_export_v3.txt")), "3de3");
        TrackOperationsOutcome done =
            runTrackOperations(up.table, up.settings, {op("reformat", QStringLiteral("1024x389"))});
        QVERIFY2(done.ok(), qPrintable(done.error));
        QCOMPARE(up.settings.plateWidth, QStringLiteral("1024"));
        QCOMPARE(up.settings.plateHeight, QStringLiteral("389"));
        QCOMPARE(up.table.name(0), QStringLiteral("03"));
        QCOMPARE(sx(up.table, 0), 71.7889 / 2);
        QCOMPARE(sy(up.table, 0), 481.708 / 2);
        QCOMPARE(done.summaries.first(),
                 QStringLiteral("reformat 2048x778 to 1024x389: 2150 keys of 39 tracks, plate "
                                "now 1024x389"));

        // MatchMover, from the top-left, 2156 x 1804: "Track 01" starts at (10.715, 1342.636).
        Loaded down = load(sharedSample(QStringLiteral("matchmover/2dtracks.rz2")), "matchmover");
        QCOMPARE(down.settings.plateWidth, QStringLiteral("2156"));
        done = runTrackOperations(down.table, down.settings,
                                  {op("reformat", QStringLiteral("1078x902"))});
        QVERIFY(done.ok());
        QCOMPARE(sx(down.table, 0), 10.715 / 2);
        QCOMPARE(sy(down.table, 0), 1342.636 / 2);
    }

    void cropAndFlopCountFromTheTopLeft()
    {
        Loaded up = load(sharedSample(QStringLiteral("3de3/3de_export_v3.txt")), "3de3");
        // 10 px off the top and 20 off the bottom of a Y-up plate: Y loses the bottom's 20.
        TrackOperationsOutcome done = runTrackOperations(
            up.table, up.settings, {op("crop", QStringLiteral("48,0,10,20")), op("flop")});
        QVERIFY2(done.ok(), qPrintable(done.error));
        QCOMPARE(up.settings.plateWidth, QStringLiteral("2000"));
        QCOMPARE(up.settings.plateHeight, QStringLiteral("748"));
        QCOMPARE(sx(up.table, 0), 71.7889 - 48);
        // Flopped in 748 rows: Y up becomes 748 - (481.708 - 20).
        QCOMPARE(sy(up.table, 0), 748 - (481.708 - 20));
        QCOMPARE(done.summaries.size(), 2);
    }

    void pixelCentresOfPFTrack()
    {
        // PFTrack counts from the lower-left pixel's centre: (0.000002, -0.000002)
        // is 0.500002 from the left edge, so a flip in 720 takes it to
        // 719.499998 from the left, 718.999998 in PFTrack's numbers.
        Loaded l = load(sharedSample(QStringLiteral("subpixel/julik_pftrack.txt")), "pftrack2011");
        l.settings.setPlateWidth(QStringLiteral("720"));
        l.settings.setPlateHeight(QStringLiteral("576"));
        const double y = sy(l.table, 0);
        QVERIFY(runTrackOperations(l.table, l.settings, {op("flip")}).ok());
        QCOMPARE(sx(l.table, 0), 718.999998);
        QVERIFY(same(sy(l.table, 0), y));
        // With the files' conventions alone, the edge counts: 720 - 0.000002.
        Loaded file =
            load(sharedSample(QStringLiteral("subpixel/julik_pftrack.txt")), "pftrack2011");
        file.settings.setPlateWidth(QStringLiteral("720"));
        file.settings.setPlateHeight(QStringLiteral("576"));
        file.settings.programConventions = false;
        QVERIFY(runTrackOperations(file.table, file.settings, {op("flip")}).ok());
        QCOMPARE(sx(file.table, 0), 719.999998);
    }

    void normalisedSynthEyesMovesByPixels()
    {
        Loaded l =
            load(sharedSample(QStringLiteral("subpixel/sy_subpix_2dpaths.txt")), "syntheyes");
        const double x = sx(l.table, 0), y = sy(l.table, 0);
        // Its numbers need the plate, which the file does not state.
        TrackOperationsOutcome done =
            runTrackOperations(l.table, l.settings, {op("shift", QStringLiteral("1,0"))});
        QVERIFY(!done.ok());
        QVERIFY(done.plateMissing);
        QCOMPARE(done.failed, 0);
        QVERIFY(same(sx(l.table, 0), x));
        l.settings.setPlateWidth(QStringLiteral("720"));
        l.settings.setPlateHeight(QStringLiteral("576"));
        QVERIFY(runTrackOperations(l.table, l.settings, {op("shift", QStringLiteral("1,0"))}).ok());
        // -1..+1 spans the 719 pixels between the edge pixels' centres.
        QVERIFY(std::abs(sx(l.table, 0) - (x + 2.0 / 719)) < 1e-12);
        QVERIFY(same(sy(l.table, 0), y));
        // There and back, by distortion and by reformat, within 1e-9 of a pixel.
        QVERIFY(runTrackOperations(l.table, l.settings,
                                   {op("lens-distort", QStringLiteral("-0.07,0.015")),
                                    op("lens-undistort", QStringLiteral("-0.07,0.015")),
                                    op("reformat", QStringLiteral("1920x1080")),
                                    op("reformat", QStringLiteral("720x576")),
                                    op("shift", QStringLiteral("-1,0"))})
                    .ok());
        QVERIFY(std::abs(sx(l.table, 0) - x) * 359.5 < 1e-9);
        QVERIFY(std::abs(sy(l.table, 0) - y) * 287.5 < 1e-9);
        // SynthEyes' own numbers are the model's: each is multiplied by
        // 1 + k r², r² = (1.25 X)² + Y² on 720 x 576.
        Loaded own =
            load(sharedSample(QStringLiteral("subpixel/sy_subpix_2dpaths.txt")), "syntheyes");
        own.settings.setPlateWidth(QStringLiteral("720"));
        own.settings.setPlateHeight(QStringLiteral("576"));
        QVERIFY(
            runTrackOperations(own.table, own.settings, {op("lens-distort", QStringLiteral("0.1"))})
                .ok());
        const double factor = 1 + 0.1 * (1.25 * x * 1.25 * x + y * y);
        QVERIFY(std::abs(sx(own.table, 0) - x * factor) < 1e-12);
        QVERIFY(std::abs(sy(own.table, 0) - y * factor) < 1e-12);
    }

    void framesAndFiltersOnARealFile()
    {
        // 3de_export_cube.txt: 8 tracks, 701 keys, frames 1..100; "01" keys
        // 40..100 (61), "02".."04" 80 each with 20 frames missing ("02" 1..39
        // and 60..100, "03" and "04" later), the rest 1..100.
        const QString cube = samplePath("3de_export_cube.txt");
        auto result = [&](std::vector<TrackOperation> ops, TrackOperationResult &last) {
            Loaded l = load(cube, "3de4");
            PlateSize plate;
            for (const TrackOperation &o : ops)
                last = runTrackOperation(l.table, plate, o);
            return l;
        };
        TrackOperationResult r;
        Loaded l = result({op("trim", QStringLiteral("1..39"))}, r);
        QCOMPARE(r.keysRemoved, 428);
        QCOMPARE(r.tracksRemoved, 1); // "01" starts at 40
        QCOMPARE(r.tracksChanged, 8);
        QCOMPARE(l.table.rowCount(), 273);
        l = result({op("drop-before", QStringLiteral("60"))}, r);
        QCOMPARE(r.keysRemoved, 20 + 39 + 6 * 59);
        QCOMPARE(r.tracksRemoved, 0);
        l = result({op("min-keys", QStringLiteral("81"))}, r);
        QCOMPARE(r.tracksRemoved, 4);
        QCOMPARE(r.keysRemoved, 61 + 3 * 80);
        QCOMPARE(l.table.name(0), QStringLiteral("05"));
        l = result({op("start-at", QStringLiteral("1001")), op("slip", QStringLiteral("-1000"))},
                   r);
        QCOMPARE(l.table.frame(0), 40); // the earliest key of the set was 1
        QCOMPARE(r.keysChanged, 701);
        // The 20 missing frames of "02".."04" filled; none are 19 or fewer.
        l = result({op("fill-gaps", QStringLiteral("19"))}, r);
        QCOMPARE(r.keysAdded, 0);
        l = result({op("fill-gaps")}, r);
        QCOMPARE(r.keysAdded, 60);
        QCOMPARE(r.tracksChanged, 3);
        QCOMPARE(l.table.rowCount(), 761);
        // "02" is rows 61.. (after the 61 keys of "01"): frame 40 follows 39.
        QCOMPARE(l.table.name(61 + 39), QStringLiteral("02"));
        QCOMPARE(l.table.frame(61 + 39), 40);
        QCOMPARE(sx(l.table, 61 + 39), 607.5720354334735 + (605.5 - 607.5720354334735) / 21);
        QCOMPARE(sy(l.table, 61 + 39),
                 230.44746587172094 + (277.1223461206476 - 230.44746587172094) / 21);
        l = result({op("rename", QStringLiteral("^0(\\d)$=cube_\\1"))}, r);
        QCOMPARE(r.tracksRenamed, 8);
        QCOMPARE(l.table.name(0), QStringLiteral("cube_1"));
    }

    void scaleAndPadOnARealFile()
    {
        // 3DE v3's 2048 x 778 plate: scaled by 0.5 x 2, padded by a tenth on the left.
        Loaded l = load(sharedSample(QStringLiteral("3de3/3de_export_v3.txt")), "3de3");
        const TrackOperationsOutcome done = runTrackOperations(
            l.table, l.settings,
            {op("scale", QStringLiteral("0.5,2")), op("pad", QStringLiteral("0.1,0,0,0.5"))});
        QVERIFY2(done.ok(), qPrintable(done.error));
        QCOMPARE(l.settings.plateWidth, QStringLiteral("1126"));  // 1024 + 102 (102.4 rounded)
        QCOMPARE(l.settings.plateHeight, QStringLiteral("2334")); // 1556 + 778
        QCOMPARE(sx(l.table, 0), 71.7889 / 2 + 102);
        // Y up: padding the bottom by 778 lifts every point by 778.
        QCOMPARE(sy(l.table, 0), 481.708 * 2 + 778);
    }

    void shapesAreTheirVertices()
    {
        // planar.nk: Bezier1 of 23 vertices keyed at 63, 64, 67 … 70, on 4096 x 2304.
        Loaded l = load(sharedSample(QStringLiteral("nuke-rotopaint/planar.nk")), "nuke-rotopaint");
        QCOMPARE(l.table.name(0), QStringLiteral("S01_Track_0001"));
        const double x = sx(l.table, 0), y = sy(l.table, 0);
        const int rows = l.table.rowCount();
        const TrackOperationsOutcome done = runTrackOperations(
            l.table, l.settings,
            {op("prefix", QStringLiteral("sh010_")), op("reformat", QStringLiteral("2048x1152")),
             op("fill-gaps", QStringLiteral("2"))});
        QVERIFY2(done.ok(), qPrintable(done.error));
        QCOMPARE(l.table.name(0), QStringLiteral("S01_sh010_Track_0001"));
        QCOMPARE(sx(l.table, 0), x / 2);
        QCOMPARE(sy(l.table, 0), y / 2);
        // Frames 65 and 66 of each of Bezier1's 23 vertices, after frame 64.
        QVERIFY(l.table.rowCount() >= rows + 46);
        QCOMPARE(l.table.frame(2), 65);
        QCOMPARE(l.table.rowNote(2), filledNote());
        QCOMPARE(l.table.name(2), QStringLiteral("S01_sh010_Track_0001"));
    }
};

QTEST_GUILESS_MAIN(TestTrackOperations)
#include "tst_trackoperations.moc"
