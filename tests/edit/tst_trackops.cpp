// SPDX-License-Identifier: Apache-2.0
// The track operations on tables of pixels from the top-left: values
// worked out by hand, inverse pairs, what stays untouched to the bit,
// refusals that change nothing, selections and the count before a run.
#include "edit/trackops.h"
#include "table/framelimit.h"
#include "table/numbers.h"
#include "testdata.h"

#include <QTest>

#include <cmath>
#include <cstring>

using namespace corvane;

namespace {

TrackOperation parsed(const char *option, const QString &text = QString())
{
    const ParsedOperation p = parseTrackOperation(QLatin1String(option), text);
    if (!p.operation) qFatal("%s", qPrintable(p.error));
    return *p.operation;
}

TrackOperationResult run(TrackTable &t, PlateSize &plate, const char *option,
                         const QString &text = QString(), const std::vector<int> *only = nullptr)
{
    return runTrackOperation(t, plate, parsed(option, text), only);
}

struct Point2
{
    double x, y;
};

Point2 source(const TrackTable &t, int r)
{
    Point2 p{0, 0};
    t.sourcePoint(r, &p.x, &p.y);
    return p;
}

// Same bits: a coordinate no operation changed.
bool same(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TrackTable sampleTable()
{
    return importedTable({{"A", 10, 100.125, 50.5},
                          {"A", 11, 110.3, 60.7},
                          {"A", 14, 140.1, 90.9},
                          {"B", 12, 1.0 / 3, 2.0 / 3},
                          {"C", 20, 5, 5}});
}

} // namespace

class TestTrackOps : public QObject
{
    Q_OBJECT

private slots:
    void parsingAndItsErrors()
    {
        QCOMPARE(parsed("slip", "-1000").frames, -1000);
        const TrackOperation trim = parsed("trim", "1001..1100");
        QCOMPARE(trim.frames, 1001);
        QCOMPARE(trim.lastFrame, 1100);
        const TrackOperation rename = parsed("rename", "a\\=b=c=d");
        QCOMPARE(rename.text, QStringLiteral("a\\=b")); // an escaped '=' stays in the pattern
        QCOMPARE(rename.replacement, QStringLiteral("c=d"));
        const TrackOperation scale = parsed("scale", "0.5");
        QCOMPARE(scale.y, 0.5);
        QCOMPARE(parsed("fill-gaps").count, 0);
        QCOMPARE(parsed("fill-gaps", "3").count, 3);
        QCOMPARE(parsed("lens-distort", "0.1").kCube, 0.0);
        QCOMPARE(trackOperationText(parsed("crop", "1,2,3,4")), QStringLiteral("--crop 1,2,3,4"));
        for (const auto &[option, text] :
             std::vector<std::pair<const char *, const char *>>{{"slip", "1.5"},
                                                                {"slip", ""},
                                                                {"trim", "10..5"},
                                                                {"trim", "10-20"},
                                                                {"shift", "1"},
                                                                {"shift", "1,nan"},
                                                                {"scale", "0"},
                                                                {"scale", "-1,1"},
                                                                {"reformat", "2048"},
                                                                {"reformat", "0x10"},
                                                                {"crop", "1.5,0,0,0"},
                                                                {"crop", "1,2,3"},
                                                                {"min-keys", "0"},
                                                                {"fill-gaps", "-1"},
                                                                {"rename", "nopattern"},
                                                                {"rename", "(=x"},
                                                                {"prefix", ""},
                                                                {"lens-distort", "a,b"},
                                                                {"lens-undistort", "1000"}}) {
            const ParsedOperation p =
                parseTrackOperation(QLatin1String(option), QLatin1String(text));
            QVERIFY2(!p.operation, qPrintable(QStringLiteral("%1 %2").arg(option, text)));
            QVERIFY2(p.error.startsWith(QStringLiteral("--%1:").arg(option)), qPrintable(p.error));
        }
        QVERIFY(!parseTrackOperation(QStringLiteral("spin"), QString()).operation);
    }

    void renameLists()
    {
        const ParsedOperation list = parseRenameList(
            QString(QChar(0xfeff)) +
                QStringLiteral("pt1\tsh010 pt1\r\n# old new\npt2, sh010_pt2\n\npt3 pt3b\n"),
            QStringLiteral("names.txt"));
        QVERIFY(list.operation);
        QCOMPARE(list.operation->mapping.size(), size_t(3));
        QCOMPARE(list.operation->mapping[0].first, QStringLiteral("pt1"));
        QCOMPARE(list.operation->mapping[0].second, QStringLiteral("sh010 pt1")); // a tab splits
        QCOMPARE(list.operation->mapping[1].second, QStringLiteral("sh010_pt2"));
        const ParsedOperation bad =
            parseRenameList(QStringLiteral("a b\nthree names here\n"), QStringLiteral("n.txt"));
        QCOMPARE(bad.error.left(13), QStringLiteral("n.txt, line 2"));
        const ParsedOperation twice =
            parseRenameList(QStringLiteral("a b\na c\n"), QStringLiteral("n.txt"));
        QVERIFY(twice.error.contains(QStringLiteral("renamed twice")));
        QVERIFY(!parseRenameList(QStringLiteral("# nothing\n"), QStringLiteral("n.txt")).operation);
    }

    void renamesAndTheirRefusals()
    {
        TrackTable t = sampleTable();
        PlateSize plate;
        TrackOperationResult r = run(t, plate, "prefix", QStringLiteral("sh010_"));
        QVERIFY(r.ok());
        QCOMPARE(r.tracksRenamed, 3);
        QCOMPARE(t.name(2), QStringLiteral("sh010_A"));
        QCOMPARE(t.name(4), QStringLiteral("sh010_C"));
        QVERIFY(same(source(t, 3).x, 1.0 / 3)); // names change, nothing else
        r = run(t, plate, "rename", QStringLiteral("^sh010_([AB])$=\\1_v2"));
        QCOMPARE(r.tracksRenamed, 2);
        QCOMPARE(t.name(0), QStringLiteral("A_v2"));
        QCOMPARE(t.name(4), QStringLiteral("sh010_C"));

        // Collisions, between renamed tracks and with one left alone, name both.
        r = run(t, plate, "rename", QStringLiteral("^.*$=same"));
        QCOMPARE(r.error, QStringLiteral("\"A_v2\" and \"B_v2\" would both be named \"same\"."));
        r = run(t, plate, "rename", QStringLiteral("^A_v2$=sh010_C"));
        QVERIFY(r.error.contains(QStringLiteral("\"sh010_C\"")));
        QVERIFY(r.error.contains(QStringLiteral("\"A_v2\"")));
        QCOMPARE(t.name(0), QStringLiteral("A_v2")); // a refusal changes nothing
        QVERIFY(run(t, plate, "rename", QStringLiteral("^A_v2$="))
                    .error.contains(QStringLiteral("without a name")));

        // A list renames the names it holds; others stay.
        const ParsedOperation list =
            parseRenameList(QStringLiteral("B_v2 Bee\nmissing x\n"), QStringLiteral("list"));
        QVERIFY(runTrackOperation(t, plate, *list.operation).ok());
        QCOMPARE(t.name(3), QStringLiteral("Bee"));
    }

    void renamesKeepShapesShapes()
    {
        TrackTable t = importedTable({{"S01_Track_0001", 1, 1, 1},
                                      {"S01_Track_0002", 1, 2, 2},
                                      {"S04_Open_0001", 1, 3, 3},
                                      {"pt", 1, 4, 4}});
        PlateSize plate;
        QVERIFY(run(t, plate, "prefix", QStringLiteral("sh010_")).ok());
        QCOMPARE(t.name(0), QStringLiteral("S01_sh010_Track_0001"));
        QCOMPARE(t.name(2), QStringLiteral("S04_Open_sh010_0001"));
        QCOMPARE(t.name(3), QStringLiteral("sh010_pt"));
        QVERIFY(run(t, plate, "suffix", QStringLiteral("_b")).ok());
        QCOMPARE(t.name(1), QStringLiteral("S01_sh010_Track_0002_b"));
        // A shape renamed whole is fine; one that would split, merge or stop
        // being a shape is not.
        QVERIFY(run(t, plate, "rename", QStringLiteral("^S01_=S02_")).ok());
        QCOMPARE(t.name(0), QStringLiteral("S02_sh010_Track_0001_b"));
        QVERIFY(run(t, plate, "rename", QStringLiteral("^S02_(.*0001)=S03_\\1"))
                    .error.contains(QStringLiteral("two shapes")));
        QVERIFY(run(t, plate, "rename", QStringLiteral("^S04_=S02_"))
                    .error.contains(QStringLiteral("both be shape \"S02\"")));
        QVERIFY(run(t, plate, "rename", QStringLiteral("^S02_sh010_Track_0001_b$=S02_Open_1"))
                    .error.contains(QStringLiteral("a vertex of an open shape")));
        QVERIFY(run(t, plate, "rename", QStringLiteral("^sh010_pt=Spt"))
                    .error.contains(QStringLiteral("a shape's vertex")));
        QVERIFY(run(t, plate, "rename", QStringLiteral("^S02=X"))
                    .error.contains(QStringLiteral("a point track")));
        TrackTable two = importedTable({{"S01_Track_0001", 1, 1, 1}, {"S02_Track_0002", 1, 2, 2}});
        QVERIFY(run(two, plate, "rename", QStringLiteral("^S0[12]_=S03_"))
                    .error.contains(QStringLiteral("both be shape \"S03\"")));
    }

    void framesSlipStartTrim()
    {
        TrackTable t = sampleTable();
        PlateSize plate;
        const Point2 before = source(t, 0);
        TrackOperationResult r = run(t, plate, "slip", QStringLiteral("1000"));
        QCOMPARE(r.keysChanged, 5);
        QCOMPARE(r.tracksChanged, 3);
        QCOMPARE(t.frame(0), 1010);
        QVERIFY(same(source(t, 0).x, before.x) && same(source(t, 0).y, before.y));
        QVERIFY(run(t, plate, "slip", QStringLiteral("-1000")).ok());
        QCOMPARE(t.frame(4), 20);

        // The earliest key of the set lands on F; the others keep their distance.
        r = run(t, plate, "start-at", QStringLiteral("1001"));
        QCOMPARE(r.summary.left(28), QStringLiteral("start at 1001 (+991 frames):"));
        QCOMPARE(t.frame(0), 1001);
        QCOMPARE(t.frame(4), 1011);

        // A at 1001, 1002, 1005; B at 1003; C at 1011.
        r = run(t, plate, "trim", QStringLiteral("1002..1005"));
        QCOMPARE(r.keysRemoved, 2);
        QCOMPARE(r.tracksRemoved, 1); // C had one key
        QCOMPARE(r.tracksChanged, 2);
        QCOMPARE(t.rowCount(), 3);
        QCOMPARE(t.name(2), QStringLiteral("B"));
        r = run(t, plate, "drop-before", QStringLiteral("1003"));
        QCOMPARE(r.keysRemoved, 1);
        QCOMPARE(r.tracksRemoved, 0);
        QCOMPARE(t.rowCount(), 2);
        QCOMPARE(t.frame(0), 1005);

        TrackTable edge = importedTable({{"A", FrameLimit - 1, 0, 0}, {"B", 1, 0, 0}});
        r = run(edge, plate, "slip", QStringLiteral("2"));
        QVERIFY(r.error.contains(QStringLiteral("outside the frames")));
        QCOMPARE(edge.frame(1), 1); // nothing moved
    }

    void keepLongTracks()
    {
        TrackTable t = sampleTable();
        PlateSize plate;
        const TrackOperationResult r = run(t, plate, "min-keys", QStringLiteral("2"));
        QCOMPARE(r.tracksRemoved, 2);
        QCOMPARE(r.keysRemoved, 2);
        QCOMPARE(t.rowCount(), 3);
        QVERIFY(r.summary.contains(QStringLiteral("2 tracks removed (2 keys)")));
    }

    void fillGaps()
    {
        TrackTable t = sampleTable();
        PlateSize plate;
        // A: 10, 11, 14 (frames 12 and 13 missing). Longest 1: nothing to fill.
        QCOMPARE(run(t, plate, "fill-gaps", QStringLiteral("1")).keysAdded, 0);
        const TrackOperationResult counted = countTrackOperation(t, plate, parsed("fill-gaps"));
        const TrackOperationResult r = run(t, plate, "fill-gaps");
        QCOMPARE(r.keysAdded, 2);
        QCOMPARE(counted.keysAdded, 2);
        QCOMPARE(counted.summary, r.summary);
        QCOMPARE(t.rowCount(), 7);
        // The new keys follow the key before the gap, in frame order.
        QCOMPARE(t.name(2), QStringLiteral("A"));
        QCOMPARE(t.frame(2), 12);
        QCOMPARE(t.frame(3), 13);
        QCOMPARE(t.frame(4), 14);
        QCOMPARE(source(t, 2).x, 110.3 + (140.1 - 110.3) / 3);
        QCOMPARE(source(t, 3).y, 60.7 + (90.9 - 60.7) * 2 / 3);
        QCOMPARE(t.rowNote(2), filledNote());
        QCOMPARE(t.data(3, NameColumn, Qt::StatusTipRole).toString(), filledNote());
        QVERIFY(t.rowNote(1).isEmpty());
        QCOMPARE(t.displayText(3, XColumn), fixed6(source(t, 3).x));
        // A gap of a billion frames is refused, not made.
        TrackTable far = importedTable({{"A", -FrameLimit, 0, 0}, {"A", FrameLimit, 1, 1}});
        const TrackOperationResult refused = run(far, plate, "fill-gaps");
        QVERIFY(refused.error.contains(QStringLiteral("would add 1999999999 keys")));
        QCOMPARE(far.rowCount(), 2);
    }

    void pixelGeometryByHand()
    {
        PlateSize plate{200, 100};
        TrackTable t = sampleTable();
        TrackOperationResult r = run(t, plate, "flip");
        QCOMPARE(source(t, 0).x, 200 - 100.125);
        QVERIFY(same(source(t, 0).y, 50.5)); // flip leaves Y to the bit
        QCOMPARE(r.keysChanged, 5);
        QVERIFY(!r.plateChanged);

        t = sampleTable();
        QVERIFY(run(t, plate, "flop").ok());
        QCOMPARE(source(t, 1).y, 100 - 60.7);
        QVERIFY(same(source(t, 1).x, 110.3));

        t = sampleTable();
        QVERIFY(run(t, plate, "shift", QStringLiteral("10,0")).ok());
        QCOMPARE(source(t, 0).x, 110.125);
        QVERIFY(same(source(t, 3).y, 2.0 / 3));

        t = sampleTable();
        r = run(t, plate, "crop", QStringLiteral("20,30,10,-5"));
        QCOMPARE(plate.width, 150);
        QCOMPARE(plate.height, 95);
        QVERIFY(r.plateChanged);
        QCOMPARE(source(t, 0).x, 80.125);
        QCOMPARE(source(t, 0).y, 40.5);

        plate = {200, 100};
        t = sampleTable();
        QVERIFY(run(t, plate, "pad", QStringLiteral("0.1,0.1,0.25,0")).ok());
        QCOMPARE(plate.width, 240);
        QCOMPARE(plate.height, 125);
        QCOMPARE(source(t, 0).x, 120.125);
        QCOMPARE(source(t, 0).y, 75.5);

        plate = {200, 100};
        t = sampleTable();
        QVERIFY(run(t, plate, "reformat", QStringLiteral("100x25")).ok());
        QCOMPARE(source(t, 0).x, 100.125 / 2);
        QCOMPARE(source(t, 0).y, 50.5 / 4);
        QVERIFY(run(t, plate, "scale", QStringLiteral("2,4")).ok());
        QCOMPARE(plate.width, 200);
        QCOMPARE(source(t, 0).y, 50.5);

        // Refusals: a plate that would vanish or not be whole, a missing plate.
        QVERIFY(run(t, plate, "crop", QStringLiteral("100,100,0,0"))
                    .error.contains(QStringLiteral("leaves")));
        QVERIFY(run(t, plate, "scale", QStringLiteral("0.333"))
                    .error.contains(QStringLiteral("whole pixels")));
        PlateSize none;
        r = run(t, none, "flip");
        QVERIFY(r.plateMissing);
        QVERIFY(run(t, none, "shift", QStringLiteral("1,1")).ok()); // pixels need no plate
    }

    void inversePairsGiveTheInputBack()
    {
        const TrackTable original = sampleTable();
        const std::vector<
            std::pair<std::pair<const char *, QString>, std::pair<const char *, QString>>>
            pairs{
                {{"slip", QStringLiteral("1000")}, {"slip", QStringLiteral("-1000")}},
                {{"shift", QStringLiteral("12.3,-4.56")}, {"shift", QStringLiteral("-12.3,4.56")}},
                {{"flip", QString()}, {"flip", QString()}},
                {{"flop", QString()}, {"flop", QString()}},
                {{"reformat", QStringLiteral("1280x720")},
                 {"reformat", QStringLiteral("1920x1080")}},
                {{"crop", QStringLiteral("7,-3,11,5")}, {"crop", QStringLiteral("-7,3,-11,-5")}},
                {{"lens-distort", QStringLiteral("-0.08,0.02")},
                 {"lens-undistort", QStringLiteral("-0.08,0.02")}},
                {{"lens-undistort", QStringLiteral("0.15,-0.03")},
                 {"lens-distort", QStringLiteral("0.15,-0.03")}}};
        for (const auto &[there, back] : pairs) {
            TrackTable t = original.clone();
            PlateSize plate{1920, 1080};
            QVERIFY(run(t, plate, there.first, there.second).ok());
            QVERIFY(run(t, plate, back.first, back.second).ok());
            QCOMPARE(plate.width, 1920);
            QCOMPARE(plate.height, 1080);
            for (int r = 0; r < t.rowCount(); ++r) {
                QCOMPARE(t.frame(r), original.frame(r));
                QVERIFY2(std::abs(source(t, r).x - source(original, r).x) <= 1e-9 &&
                             std::abs(source(t, r).y - source(original, r).y) <= 1e-9,
                         there.first);
            }
        }
    }

    void lensModelByHand()
    {
        // The corner pixel's centre of a 720 x 576 plate is (-1, -1): with
        // X scaled by 1.25, r² = 2.5625 and k = 0.1 moves it by 1.25625.
        double x = 0.5, y = 0.5;
        QVERIFY(lensDistortPoint(x, y, {720, 576}, 0.1, 0, false));
        QCOMPARE(x, -0.25625 * 359.5 + 0.5);
        QCOMPARE(y, -0.25625 * 287.5 + 0.5);
        QVERIFY(lensDistortPoint(x, y, {720, 576}, 0.1, 0, true));
        QVERIFY(std::abs(x - 0.5) < 1e-9 && std::abs(y - 0.5) < 1e-9);
        // The centre stays; k cube adds r³.
        x = 360, y = 288;
        QVERIFY(lensDistortPoint(x, y, {720, 576}, 0.3, 0.2, false));
        QCOMPARE(x, 360.0);
        x = 719.5, y = 288;
        QVERIFY(lensDistortPoint(x, y, {720, 576}, 0, 0.2, false));
        QCOMPARE(x, (1.25 * (1 + 0.2 * 1.25 * 1.25 * 1.25) / 1.25 + 1) * 359.5 + 0.5);
        // Strong barrel distortion folds back: removing it has no answer there.
        x = 0.5, y = 0.5;
        QVERIFY(!lensDistortPoint(x, y, {720, 576}, -0.5, 0, true));
        TrackTable t = importedTable({{"A", 1, 360, 288}, {"A", 2, 0.5, 0.5}});
        PlateSize plate{720, 576};
        const TrackOperationResult r = run(t, plate, "lens-undistort", QStringLiteral("-0.5,0"));
        QVERIFY(r.error.contains(QStringLiteral("folds back")));
        QCOMPARE(source(t, 0).x, 360.0); // nothing changed
        PlateSize dot{1, 1};             // no span between pixel centres
        QVERIFY(run(t, dot, "lens-distort", QStringLiteral("0.1"))
                    .error.contains(QStringLiteral("2 x 2")));
    }

    void refusalsChangeNothing()
    {
        // A row typed in, its X not a number: the shift stops there.
        TrackTable t = sampleTable();
        t.setRowCount(6);
        t.setItemText(5, NameColumn, QStringLiteral("D"));
        t.setItemText(5, FrameColumn, QStringLiteral("3"));
        t.setItemText(5, XColumn, QStringLiteral("oops"));
        t.setItemText(5, YColumn, QStringLiteral("1"));
        PlateSize plate{200, 100};
        TrackOperationResult r = run(t, plate, "shift", QStringLiteral("1,1"));
        QCOMPARE(r.error, QStringLiteral("track \"D\", row 6: its coordinates are not numbers"));
        QCOMPARE(source(t, 0).x, 100.125);
        t.setItemText(5, FrameColumn, QStringLiteral("x"));
        r = run(t, plate, "slip", QStringLiteral("1"));
        QVERIFY(r.error.contains(QStringLiteral("its frame is not a whole number")));
        QCOMPARE(t.frame(0), 10);
        // Typed rows that are numbers move like imported ones.
        t.setItemText(5, FrameColumn, QStringLiteral("3"));
        t.setItemText(5, XColumn, QStringLiteral("7.5"));
        QVERIFY(run(t, plate, "shift", QStringLiteral("1,1")).ok());
        QCOMPARE(t.displayText(5, XColumn), QStringLiteral("8.500000"));
    }

    void selectedTracksOnly()
    {
        TrackTable t = sampleTable();
        PlateSize plate{200, 100};
        const std::vector<int> rows{1}; // a row of A selects all of A
        TrackOperationResult r = run(t, plate, "shift", QStringLiteral("1,2"), &rows);
        QCOMPARE(r.keysChanged, 3);
        QCOMPARE(r.tracksChanged, 1);
        QCOMPARE(source(t, 2).x, 141.1);
        QVERIFY(same(source(t, 3).x, 1.0 / 3));
        r = run(t, plate, "start-at", QStringLiteral("1"), &rows);
        QCOMPARE(t.frame(0), 1);
        QCOMPARE(t.frame(3), 12); // B stays
        r = run(t, plate, "prefix", QStringLiteral("x_"), &rows);
        QCOMPARE(t.name(0), QStringLiteral("x_A"));
        QCOMPARE(t.name(3), QStringLiteral("B"));
        r = run(t, plate, "reformat", QStringLiteral("100x50"), &rows);
        QVERIFY(r.error.contains(QStringLiteral("every track")));
        QCOMPARE(plate.width, 200);
    }

    void countingChangesNothing()
    {
        const TrackTable original = sampleTable();
        for (const auto &[option, text] : std::vector<std::pair<const char *, QString>>{
                 {"prefix", QStringLiteral("p_")},
                 {"slip", QStringLiteral("5")},
                 {"trim", QStringLiteral("11..12")},
                 {"crop", QStringLiteral("1,2,3,4")},
                 {"min-keys", QStringLiteral("3")},
                 {"lens-distort", QStringLiteral("0.1,0")}}) {
            TrackTable t = original.clone();
            PlateSize plate{200, 100};
            const TrackOperationResult counted =
                countTrackOperation(t, plate, parsed(option, text));
            QCOMPARE(t.rowCount(), original.rowCount());
            QCOMPARE(t.name(0), original.name(0));
            QCOMPARE(t.frame(0), original.frame(0));
            QVERIFY(same(source(t, 0).x, source(original, 0).x));
            const TrackOperationResult done = run(t, plate, option, text);
            QCOMPARE(counted.summary, done.summary);
            QCOMPARE(counted.keysChanged, done.keysChanged);
            QCOMPARE(counted.keysRemoved, done.keysRemoved);
            QCOMPARE(counted.tracksRenamed, done.tracksRenamed);
        }
    }

    void convertedRowsShowTheirNewSourceValues()
    {
        TrackTable t = importedTable({{"A", 1, 10, 20}, {"A", 3, 30, 40}});
        t.setConverted(0, 10, 80, 0.5, 0.25);
        t.setConverted(1, 30, 60, 0.7, 0.35);
        PlateSize plate{100, 100};
        QVERIFY(run(t, plate, "slip", QStringLiteral("1")).ok());
        double px = 0, py = 0;
        QVERIFY(t.pixelPoint(0, &px, &py)); // frames only: still converted
        // Gaps between converted keys are filled converted.
        QCOMPARE(run(t, plate, "fill-gaps").keysAdded, 1);
        QVERIFY(t.pixelPoint(1, &px, &py));
        QCOMPARE(px, 20.0);
        double shown = 0;
        QVERIFY(t.numericCoordinate(1, XColumn, &shown));
        QCOMPARE(shown, 0.6);
        QVERIFY(run(t, plate, "shift", QStringLiteral("5,0")).ok());
        QVERIFY(!t.pixelPoint(0, &px, &py));
        QCOMPARE(t.displayText(0, XColumn), QStringLiteral("15.000000"));
        QCOMPARE(t.displayText(0, YColumn), QStringLiteral("20.000000"));
        QCOMPARE(t.importedValue(0, XColumn), 15.0);
    }
};

QTEST_GUILESS_MAIN(TestTrackOps)
#include "tst_trackops.moc"
