// SPDX-License-Identifier: Apache-2.0
#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "testdata.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

// Flame/Smoke stabilizer setups, Shake scripts, SynthEyes All Tracker Paths
// and MatchMover RZML: the real files read as the programs meant them,
// bad files are named with their line, and Flame setups written read back.
class TestMorePrograms : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static QString shared(const QString &relative) { return sharedSample(relative); }

    static ReadResult read(const char *id, const QByteArray &text)
    {
        return formatById(QLatin1String(id))->read(text, QStringLiteral("test"));
    }

    // The rows read back are the rows written, name, frame and value.
    static bool sameRows(const TrackSet &set, const QList<TestRow> &rows)
    {
        bool same = set.count == int(rows.size());
        for (int i = 0; same && i < set.count; ++i) {
            const size_t k = size_t(i);
            same = set.names.at(i) == rows[i].name && set.frames[k] == rows[i].frame &&
                   set.x[k] == rows[i].x && set.y[k] == rows[i].y;
            if (!same) qWarning("row %d differs", i);
        }
        return same;
    }

    static int trackCount(const TrackSet &set)
    {
        QSet<QString> names(set.names.runs().begin(), set.names.runs().end());
        return int(names.size());
    }

    // A shared sample read through the format of that id.
    static TrackSet readFile(const QString &relative, const char *id)
    {
        return dispatch(shared(relative),
                        QLatin1String(formatById(QLatin1String(id))->importFilter))
            .set;
    }

private slots:
    // Each real file: its format found from its content, its tracks, rows
    // and frames.
    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        const QList<std::tuple<const char *, const char *, int, int, int, int>> files{
            {"flame-stabilizer/FlameStab_Cornerpin_CorrectOrder.stabilizer", "flame-stabilizer", 4,
             100, 1, 25},
            {"flame-stabilizer/FlameStab_Cornerpin_IncorrectOrder.stabilizer", "flame-stabilizer",
             4, 100, 1, 25},
            {"flame-stabilizer/Flame_Stabilizer_2012.stabilizer", "flame-stabilizer", 5, 305, 1,
             61},
            {"flame-stabilizer/cornerpin_2012.stabilizer", "flame-stabilizer", 4, 1015, 1, 254},
            {"flame-stabilizer/flame2010_cornerpin.stabilizer", "flame-stabilizer", 4, 732, 1, 183},
            {"flame-stabilizer/flame_2012_another.stabilizer", "flame-stabilizer", 1, 100, 1, 100},
            {"flame-stabilizer/fromTracksperanto.stabilizer", "flame-stabilizer", 3, 9, 4, 6},
            {"flame-stabilizer/stabilizer_2014_ref_for_reexport.stabilizer", "flame-stabilizer", 4,
             72, 1, 50},
            {"shake-script/two_tracks_in_one_tracker.shk", "shake-script", 2, 301, 1, 185},
            {"shake-script/shake_tracker_nodes.shk", "shake-script", 26, 2732, 1, 185},
            {"shake-script/three_tracks_in_one_stabilizer.shk", "shake-script", 3, 348, 1, 116},
            {"shake-script/four_tracks_in_one_matchmove.shk", "shake-script", 4, 56, 89, 102},
            {"shake-script/from_matchmover.shk", "shake-script", 8, 4614, 1, 723},
            {"shake-script/oldTrackerNode.shk", "shake-script", 1, 850, 1, 850},
            {"shake-script/shake_script_from_boujou.shk", "shake-script", 1, 387, 5, 391},
            {"shake-script/comments_inline_with_args.shk", "shake-script", 1, 75, 11, 85},
            {"shake-script/track.shk", "shake-script", 2, 522, 292023, 292283},
            // Its Tracker1 holds six animated tracks; its Stabilize1 only
            // follows two of them by expression (named in a note).
            {"shake-script/205_030_shaketrack_v01_pd.shk", "shake-script", 6, 402, 0, 66},
            {"syntheyes-all-paths/shot06_2dTracks.txt", "syntheyes-all-paths", 139, 6116, 0, 43},
            // Its first two tracks begin at "x-1": frame -1.
            // Tracker8 and Tracker9 hold a still track1 only: a row each.
            {"nuke-script/018.nk", "nuke-script", 23, 1128, -1, 72},
            {"nuke-script/A099_L008_0207TW_001_head_R.nk", "nuke-script", 4, 208, 374, 425},
            {"nuke-script/cornerpin.nk", "nuke-script", 4, 404, 1, 101},
            {"nuke-script/curve-start-with-curve-command.nk", "nuke-script", 4, 116, 1, 59},
            {"nuke-script/failing_nuke7_trackers_job_1872.nk", "nuke-script", 2, 30, 1129, 1144},
            {"nuke-script/nuke708_tracker.nk", "nuke-script", 1, 16, 1, 16},
            {"nuke-script/nuke7_tracker_2tracks.nk", "nuke-script", 2, 65, 1, 56},
            {"nuke-script/nuke7_planar.nk", "nuke-script", 4, 180, 1, 45},
            // Nuke 6's planar tracker, of the versioned class PlanarTracker1_0.
            {"nuke-rotopaint/planar.nk", "nuke-script", 4, 600, 1, 150},
            {"nuke-script/nuke7_transform2d.nk", "nuke-script", 1, 15, 0, 87},
            {"nuke-script/nuke8_tracker4_copypastes.nk", "nuke-script", 4, 192, 34, 81},
            {"nuke-script/one_tracker_with_break.nk", "nuke-script", 2, 44, 742, 763},
            {"nuke-script/tracker_with_differing_gaps.nk", "nuke-script", 1, 45, 22, 110},
            {"nuke-script/tracker4_with_empty_tracks_knob.nk", "nuke-script", 22, 4395, 1000, 1217},
            {"matchmover-rzml/md_145_1070_right_t1.rzml", "matchmover-rzml", 2, 142, 1, 71}};
        for (const auto &[file, id, tracks, rows, first, last] : files)
            QTest::newRow(file) << QString::fromLatin1(file) << QString::fromLatin1(id) << tracks
                                << rows << first << last;
    }

    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, id);
        const QString path = shared(file);
        if (!QFile::exists(path)) QSKIP("the shared samples are not beside the project");
        Detection detection = detectFormat(path);
        const Format *format = formatById(id);
        if (detection.format) {
            QCOMPARE(QLatin1String(detection.format->id), id);
        } else {
            // A script with tracking nodes and roto shapes: the user chooses.
            QVERIFY2(detection.candidates.contains(format),
                     qPrintable(detection.error + detection.looksLike));
            QVERIFY(detection.candidates.size() > 1);
        }
        ReadResult result = dispatch(path, QLatin1String(format->importFilter));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QFETCH(int, tracks);
        QFETCH(int, rows);
        QFETCH(int, first);
        QFETCH(int, last);
        QCOMPARE(trackCount(result.set), tracks);
        QCOMPARE(result.set.count, rows);
        auto [low, high] = std::minmax_element(result.set.frames.begin(), result.set.frames.end());
        QCOMPARE(*low, first);
        QCOMPARE(*high, last);
    }

    // First points, names and plates as the files hold them.
    void firstValues()
    {
        if (!QFile::exists(shared(QStringLiteral("matchmover-rzml")))) QSKIP("no shared samples");
        TrackSet rzml = readFile(QStringLiteral("matchmover-rzml/md_145_1070_right_t1.rzml"),
                                 "matchmover-rzml");
        QCOMPARE(rzml.names.first(), QStringLiteral("Track 01"));
        QCOMPARE(rzml.frames[0], 1);
        QCOMPARE(rzml.x[0], 626.68);
        QCOMPARE(rzml.y[0], 488.56);
        QCOMPARE(rzml.plateWidth, 2048);
        QCOMPARE(rzml.plateHeight, 1152);
        TrackSet paths = readFile(QStringLiteral("syntheyes-all-paths/shot06_2dTracks.txt"),
                                  "syntheyes-all-paths");
        QCOMPARE(paths.names.first(), QStringLiteral("Tracker2"));
        QCOMPARE(paths.frames[0], 0);
        QCOMPARE(paths.x[0], 760.632);
        QCOMPARE(paths.y[0], 727.86);
        TrackSet shake =
            readFile(QStringLiteral("shake-script/two_tracks_in_one_tracker.shk"), "shake-script");
        QCOMPARE(shake.names.first(), QStringLiteral("Tracker1_track1"));
        QCOMPARE(shake.x[0], 716.08);
        QCOMPARE(shake.plateWidth, 720);
        QCOMPARE(shake.plateHeight, 486);
        TrackSet flame = readFile(QStringLiteral("flame-stabilizer/cornerpin_2012.stabilizer"),
                                  "flame-stabilizer");
        QCOMPARE(flame.names.runs(),
                 QStringList({"top_left", "top_right", "bottom_left", "bottom_right"}));
        QCOMPARE(flame.plateWidth, 1024);
        // A reference that moves during the analysis: the path goes on
        // without a jump (the reference's compensation is added), and at
        // each frame where the reference was set again the tracker sits on
        // it: the reference less the shift is the tracker (the shift is the
        // image's, against the motion).
        TrackSet moved =
            readFile(QStringLiteral("flame-stabilizer/stabilizer_2014_ref_for_reexport.stabilizer"),
                     "flame-stabilizer");
        const int start = int(moved.names.runStarts()[3]);
        QCOMPARE(moved.names.at(start), QStringLiteral("tracker1_1"));
        for (int i = start + 1; i < moved.count; ++i)
            QVERIFY2(qAbs(moved.x[size_t(i)] - moved.x[size_t(i) - 1]) < 40,
                     qPrintable(QString::number(i)));
        QCOMPARE(moved.frames[size_t(start) + 4], 5);
        QCOMPARE(moved.x[size_t(start) + 4], 1373.17554); // the reference's key at frame 5
        QCOMPARE(moved.x[size_t(start) + 8], 1406.89575); // and at frame 9
        QCOMPARE(moved.x[size_t(start) + 3], 1335.44019 + 28.9799805); // ref less shift
    }

    // Every real setup reads inside its plate (tracked corners may leave
    // it by a little, never by a fifth of it as the mirrored reading did),
    // and writes and reads back to the same rows.
    void flameSamplesInsideTheirPlates()
    {
        const QDir folder(shared(QStringLiteral("flame-stabilizer")));
        const QStringList files = folder.entryList({QStringLiteral("*.stabilizer")});
        if (files.isEmpty()) QSKIP("no shared samples");
        QCOMPARE(files.size(), 8);
        for (const QString &file : files) {
            const TrackSet set =
                readFile(QStringLiteral("flame-stabilizer/") + file, "flame-stabilizer");
            QVERIFY2(set.count > 0 && set.plateWidth > 0, qPrintable(file));
            const double w = set.plateWidth, h = set.plateHeight;
            for (int i = 0; i < set.count; ++i) {
                const double x = set.x[size_t(i)], y = set.y[size_t(i)];
                QVERIFY2(
                    x > -0.06 * w && x < 1.06 * w && y > -0.06 * h && y < 1.06 * h,
                    qPrintable(QStringLiteral("%1 row %2: %3, %4").arg(file).arg(i).arg(x).arg(y)));
            }
            const QList<TestRow> rows = rowsOf(set);
            const QString path = dir.filePath(QStringLiteral("again-") + file);
            ExportResult saved = saveAs(importedTable(rows), "flame-stabilizer", path,
                                        set.plateWidth, set.plateHeight);
            QVERIFY2(saved.ok(), qPrintable(saved.error));
            ReadResult back =
                dispatch(path, QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
            QVERIFY2(back.ok(), qPrintable(back.error));
            QVERIFY2(sameRows(back.set, rows), qPrintable(file));
        }
        // A setup of round numbers reads back the very numbers.
        const TrackSet round = readFile(
            QStringLiteral("flame-stabilizer/fromTracksperanto.stabilizer"), "flame-stabilizer");
        QCOMPARE(round.x[0], 100.0);
        QCOMPARE(round.y[0], 200.0);
        QCOMPARE(round.x[2], 210.0);
        QCOMPARE(round.y[2], 145.0);
    }

    // One grid tracked in each program: its lower-left feature sits on the
    // centre of the lower-left pixel, (0.5, 0.5) from the raster's edge.
    void subpixelFixtures()
    {
        const QString flame =
            shared(QStringLiteral("subpixel/Flame_Smk2013_SubpixSample.stabilizer"));
        if (!QFile::exists(flame)) QSKIP("no shared samples");
        TrackSet f =
            dispatch(flame, QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)")).set;
        QCOMPARE(f.count, 1);
        QCOMPARE(f.x[0], 0.5);
        QCOMPARE(f.y[0], 0.5);
        TrackSet s = dispatch(shared(QStringLiteral("subpixel/shake_subpix_v01.shk")),
                              QStringLiteral("Shake Script File (*.shk)"))
                         .set;
        QCOMPARE(s.count, 2);
        QCOMPARE(s.x[0], 0.5);
        QCOMPARE(s.y[0], 0.5);
        QCOMPARE(s.x[1], 715.5);
        QCOMPARE(s.y[1], 571.514);
    }

    // A table written as a setup of the 2014 layout reads back to the same
    // rows, digit for digit, with the plate.
    void flameWritesWhatItReads()
    {
        const QList<TestRow> rows{{"corner_a", 1, 100.1, 200.2},
                                  {"corner_a", 2, 100.3, 199.9},
                                  {"corner_a", 5, 0.000001, -3.5},
                                  {"corner_b", 3, 1919.999999, 0},
                                  {"corner_b", 4, 1e6, 1080.25},
                                  // Too large for millionths: the reference stays at 0.
                                  {"far", 1, 1e15, 2.5},
                                  {"far", 2, -3e14, 0.125}};
        const QString path = dir.filePath(QStringLiteral("out.stabilizer"));
        ExportResult saved = saveAs(importedTable(rows), "flame-stabilizer", path, 2048, 1152);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        const QByteArray text = fileContents(path);
        QVERIFY(text.startsWith("StabilizerFileVersion 6.0\nCreationDate "));
        for (const char *line : {"\nNbTrackers 3\n", "\nFrameWidth 2048\n", "\nFrameHeight 1152\n",
                                 "\nChannel corner_a/ref/x\n", "\nChannel corner_b/shift/y\n",
                                 "\nChannelEnd\nTracker 0\n", "\nTracker 1\n"})
            QVERIFY2(text.contains(line), line);
        QVERIFY(text.endsWith("\nEnd\n"));
        QVERIFY(!QString::fromLatin1(text).contains(
            QRegularExpression(QStringLiteral("\\de[-+]?\\d"))));
        ReadResult back =
            dispatch(path, QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
        QVERIFY2(back.ok(), qPrintable(back.error));
        QVERIFY(sameRows(back.set, rows));
        QCOMPARE(back.set.plateWidth, 2048);
    }

    // The parts of a point add as the digits say: 0.7 less 0.4 is 0.3.
    void flamePartsAddExactly()
    {
        const QByteArray setup =
            "StabilizerFileVersion 5.0\nFrameWidth 720\nFrameHeight 576\nAnim\n"
            "Channel t/ref/x\n\tValue 0.7\n\tEnd\n"
            "Channel t/ref/y\n\tValue 0\n\tEnd\n"
            "Channel t/shift/x\n\tSize 2\n"
            "\tKey 0\n\t\tFrame 1\n\t\tValue 0.2\n\t\tCurveOrder linear\n\t\tEnd\n"
            "\tKey 1\n\t\tFrame 3\n\t\tValue 0.4\n\t\tEnd\n\tEnd\n"
            "Channel t/shift/y\n\tSize 2\n"
            "\tKey 0\n\t\tFrame 1\n\t\tValue 1\n\t\tEnd\n"
            "\tKey 1\n\t\tFrame 3\n\t\tValue 2\n\t\tEnd\n\tEnd\nChannelEnd\n";
        ReadResult r = read("flame-stabilizer", setup);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.count, 2);
        QCOMPARE(r.set.x[0], 0.5); // 0.7 less 0.2
        QCOMPARE(r.set.frames[1], 3);
        QCOMPARE(r.set.x[1], 0.3); // 0.7 - 0.4 is 0.29999999999999993
        QCOMPARE(r.set.y[1], -2.0);
    }

    // Shake's curve kinds: keys only, Hermite's value out of its brackets,
    // frames that are no whole frame and X keys without a Y key left out
    // with a note.
    void shakeCurves()
    {
        const QByteArray script =
            "SetDefaultWidth(1920);\nSetDefaultHeight(1080);\n"
            "/* a comment with Tracker2 = Tracker( in it */\n"
            "Tracker1 = Tracker(In, \"1-10\", \"1/16\", \"luminance\", 0.75,\n"
            "  \"use start frame\", 0.5, \"stop\", 1, 1, \"v2.0\", 0.3, 0.59, 0.11, 0, 10,\n"
            "  \"a\", Hermite(0,[10,0,0]@1,[11.5,0.5,0.5]@2), CSpline(0,20@1,21@2), 1, 1, 1,\n"
            "  \"b\", JSpline(0,5@1,6@1.5,7@3), NSpline(0,8@1,9@3), 1,\n"
            "  \"c\", Linear(0,1@1,2@2,3@3), Linear(0,4@1,6@3), 1,\n"
            "  \"d\", width/2, height/2, 1);\n"
            "Move = Move2D(Tracker1, Tracker1.aX, 0);\n";
        ReadResult r = read("shake-script", script);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.names.runs(), QStringList({"Tracker1_a", "Tracker1_b", "Tracker1_c"}));
        QCOMPARE(r.set.count, 2 + 2 + 2);
        QCOMPARE(r.set.x[1], 11.5);
        QCOMPARE(r.set.y[1], 21.0);
        QCOMPARE(r.set.frames[3], 3); // b's 1.5 is no frame
        QCOMPARE(r.set.x[5], 3.0);    // c's frame 2 has no Y key
        QCOMPARE(r.set.plateWidth, 1920);
        QCOMPARE(r.notes.size(), 2);
        QVERIFY(r.notes.join(' ').contains(QLatin1String("1.5")));
        QVERIFY(r.notes.join(' ').contains(QLatin1String("Tracker1_c has 1 X keys")));
        QVERIFY(!formatById(QStringLiteral("shake-track"))->sniff(script));
    }

    // Bad files are named with the line and what is wrong.
    void errorsNameTheLine()
    {
        struct Case
        {
            const char *id;
            QByteArray text;
            int line;
            const char *says;
        };
        const QList<Case> cases{
            {"flame-stabilizer",
             "StabilizerFileVersion 5.0\nAnim\nChannel t/shift/x\n\tKey 0\n"
             "\t\tFrame 1\n\t\tValue 1,5\n",
             6, "\"1,5\" is not a number"},
            {"flame-stabilizer",
             "StabilizerFileVersion 5.0\nChannel t/shift/x\n\tKey 0\n"
             "\t\tFrame 1.5\n",
             4, "not a whole frame"},
            {"shake-script", "// x\nT = Tracker(In, \"1-2\",\n \"t\", Linear(0,1@1,2), 3);\n", 3,
             "is not value@frame"},
            {"shake-script", "T = Tracker(In, \"1-2\",\n\n \"t\", Linear(0,1@1), 3;\n", 1,
             "is not closed"},
            // A cut script is named where it stops.
            {"nuke-script",
             "Tracker4 {\n tracks { { 1 track 1 1 } }\n name T1\n}\nTracker4 {\n name T2\n"
             " tracks { { 1 ",
             7, "ends inside the Tracker4 node of line 5"},
            {"matchmover-rzml",
             "<?xml version=\"1.0\"?>\n<RZML>\n<L i=\"1\" n=\"a\"/>\n<IPLN b=\"1\">\n"
             "<IFRM><M i=\"1\" x=\"3\" y=\"oops\"/></IFRM>\n</IPLN></RZML>\n",
             5, "y=\"oops\""},
            {"matchmover-rzml", "<RZML>\n<SHOT w=\"2\" h=\"2\">\n<IFRM>\n</SHOT>\n", 4, ""},
            // Two tracks of one number are not one track named by the last.
            {"matchmover-rzml",
             "<RZML>\n<L i=\"1\" n=\"a\"/>\n<L i=\"1\" n=\"b\"/>\n<IPLN b=\"1\">\n"
             "<IFRM><M i=\"1\" x=\"3\" y=\"4\"/></IFRM>\n</IPLN></RZML>\n",
             3, "track number 1 is given again (line 2"},
            // Values that are no finite numbers are wrong, not expressions.
            {"shake-script", "T = Tracker(In, \"1-2\",\n \"t\", Linear(0,1e309@1,2@2), 3);\n", 2,
             "the value \"1e309\" is not a finite number (it reads as inf)"},
            {"shake-script", "T = Tracker(In, \"1-2\",\n \"t\", Linear(0,1@1,2@2),\n nan);\n", 3,
             "the value \"nan\" is not a finite number (it reads as nan)"},
            {"nuke-script", "Tracker3 {\n track1 {{curve x1 1e309 2} {curve x1 3 4}}\n}\n", 2,
             "the value \"1e309\" is not a finite number (it reads as inf)"},
            {"nuke-script", "Tracker3 {\n track1 {{curve x1 1 2} nan}\n}\n", 2,
             "the value \"nan\" is not a finite number"},
            {"matchmover-rzml",
             "<RZML>\n<L i=\"1\" n=\"a\"/>\n<IPLN b=\"1\">\n"
             "<IFRM><M i=\"1\" x=\"-1e400\" y=\"4\"/></IFRM>\n</IPLN></RZML>\n",
             4, "(it reads as -inf)"},
            {"syntheyes-all-paths", "1 2 3\nTracker1\n1 2 3\n", 1, "before any tracker"},
            {"syntheyes-all-paths", "Tracker1\n1 2 3\n2 x 3\n", 3, ""},
        };
        for (const Case &c : cases) {
            ReadResult r = read(c.id, c.text);
            QVERIFY2(!r.ok(), c.id);
            QCOMPARE(r.line, c.line);
            QVERIFY2(r.error.contains(QLatin1String(c.says)), qPrintable(r.error));
        }
        // A setup or script with nothing tracked says so.
        QVERIFY(
            read("flame-stabilizer",
                 "StabilizerFileVersion 5.0\nChannel t/ref/x\n\tValue 3\n\tEnd\nChannelEnd\nEnd\n")
                .error.contains(QLatin1String("no tracker of the setup has a tracked key")));
        QVERIFY(read("shake-script", "A = Blur(B, 3);\n")
                    .error.contains(QLatin1String("no Tracker, Stabilize or MatchMove node")));
    }

    // Nuke's curves: "x" frames, keys that follow the last two keys' step,
    // letters and slopes passed over, "curve+5", a quoted "curve ", names
    // from one node kept and from several put after their node's.
    void nukeCurves()
    {
        const QByteArray script =
            "Root {\n format \"1920 1080 0 0 1920 1080 1 HD\"\n}\n"
            "Tracker3 {\n track1 {{curve i x10 1 2 x14 3 4 s0.5 K 5} {curve x10 6 7 x14 8 9 10}}\n"
            " track2 {100 200}\n name T1\n}\n"
            "Group {\n name G\n}\n"
            "CornerPin2D {\n to1 {{curve+5 x1 1 2} {\"curve \" x1 3 4}}\n"
            " to2 {{T1.track1.x} {0}}\n name C1\n}\nend_group\n";
        ReadResult r = read("nuke-script", script);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.names.runs(), QStringList({"T1_track1", "C1_to1"}));
        QCOMPARE(r.set.frames, std::vector<int>({10, 11, 14, 17, 20, 1, 2}));
        QCOMPARE(r.set.x, std::vector<double>({1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(r.set.y[4], 10.0);
        QCOMPARE(r.set.y[5], 3.0);
        QCOMPARE(r.set.plateWidth, 1920);
        QVERIFY(
            r.notes.join(' ').contains(QLatin1String("node C1, knob to2 follows an expression")));
        // One node: the tracks keep their own names.
        ReadResult one =
            read("nuke-script", "Tracker4 {\n tracks { { 1 31 1 } { { 5 1 20 enable e } "
                                "{ 3 1 75 name name } { 2 1 58 track_x track_x } "
                                "{ 2 1 58 track_y track_y } } { { {curve K x1 1} "
                                "\"corner \\\"a\\\"\" {curve x1 5} {curve x1 6} } } }\n}\n");
        QVERIFY2(one.ok(), qPrintable(one.error));
        QCOMPARE(one.set.names.first(), QStringLiteral("corner \"a\""));
        // A node the file ends inside is named where the file stops.
        QCOMPARE(read("nuke-script", "Tracker3 {\n track1 {{curve x1 1 2}\n").line, 2);
        // A bad curve is named with its line and knob, and the rest is read.
        ReadResult bad = read("nuke-script", "Tracker3 {\n track2 {{curve x1 5} {curve x1 6}}\n"
                                             " track1 {{curve x1 1 1q2} {curve x1 1 2}}\n}\n");
        QVERIFY2(bad.ok(), qPrintable(bad.error));
        QCOMPARE(bad.set.count, 1);
        QCOMPARE(bad.notes.size(), 1);
        QVERIFY2(bad.notes[0].startsWith(QLatin1String("line 3: node , knob track1: \"1q2\"")),
                 qPrintable(bad.notes[0]));
    }

    // A node with no animated track gives its still values as one row each,
    // at its reference frame or the script's frame, and says so; Tracker3
    // tracks that are not enabled give none.
    void stillNodes()
    {
        const QByteArray script =
            "Root {\n frame 12\n}\n"
            "Tracker3 {\n track1 {10 20}\n track2 {1055 413}\n enable3 true\n track3 {30 40}\n"
            " name Still\n}\n"
            "Tracker4 {\n reference_frame 7\n tracks { { 1 31 1 } { { 3 1 75 name name } "
            "{ 2 1 58 track_x track_x } { 2 1 58 track_y track_y } } { { \"p\" 5 6 } } }\n"
            " name Ref\n}\n"
            "CornerPin2D {\n to1 {{curve x1 1 2} {curve x1 3 4}}\n to2 {50 60}\n name Moving\n}\n";
        ReadResult r = read("nuke-script", script);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.names.runs(),
                 QStringList({"Still_track1", "Still_track3", "Ref_p", "Moving_to1"}));
        QCOMPARE(r.set.frames, std::vector<int>({12, 12, 7, 1, 2}));
        QCOMPARE(r.set.x, std::vector<double>({10, 30, 5, 1, 2}));
        QCOMPARE(r.set.y, std::vector<double>({20, 40, 6, 3, 4}));
        QVERIFY(r.notes.contains(QStringLiteral("node Still holds no animated track; its still "
                                                "values are read as one row each at frame 12.")));
    }

    // Many alike notes are kept to the first hundred and counted.
    void notesAreCapped()
    {
        QByteArray script = "Tracker4 {\n tracks { { 1 31 151 } { { 3 1 75 name name } "
                            "{ 2 1 58 track_x track_x } { 2 1 58 track_y track_y } } {\n";
        for (int i = 0; i < 150; ++i)
            script += " { \"e" + QByteArray::number(i) + "\" {T.x} {T.y} }\n";
        script += " { \"kept\" {curve x1 1} {curve x1 2} }\n} }\n name N\n}\n";
        ReadResult r = read("nuke-script", script);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.set.count, 1);
        QCOMPARE(r.notes.size(), 101);
        QCOMPARE(r.notes.last(), QStringLiteral("and 50 more notes like these."));
    }

    // A table written as a Nuke script (the plate's Root and a Tracker4)
    // reads back to the same tracks, names, frames and values.
    void nukeScriptWritesWhatItReads()
    {
        const QList<TestRow> rows{{"track 1", 1, 100.5, 200.25},
                                  {"track 1", 3, 101, 199},
                                  {"[odd] $name", 2, -5, 0.000001},
                                  {"[odd] $name", 9, 7, 8}};
        const QString path = dir.filePath(QStringLiteral("out.nk"));
        ExportResult saved = saveAs(importedTable(rows), "nuke-script", path, 2048, 1152);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        const QByteArray text = fileContents(path);
        QVERIFY(text.startsWith("version "));
        QVERIFY(text.contains("format \"2048 1152 0 0 2048 1152 1 \""));
        QVERIFY(text.contains("\"\\[odd\\] \\$name\""));
        ReadResult back = dispatch(path, QStringLiteral("Nuke Script File (*.nk)"));
        QVERIFY2(back.ok(), qPrintable(back.error));
        QVERIFY(sameRows(back.set, rows));
        QCOMPARE(back.set.plateHeight, 1152);
    }

    // Detection keeps the new formats apart from their programs' others.
    void detectionTellsThemApart()
    {
        const QList<std::pair<QByteArray, const char *>> texts{
            {"Tracker1\n0 1.5 2.5\n1 1.6 2.6\n", "syntheyes-all-paths"},
            {"Tracker1 0 0.1 0.2 15\nTracker1 1 0.1 0.2 15\n", "syntheyes"},
            {"<?xml version=\"1.0\"?>\n<RZML v=\"1\">\n<L i=\"1\" n=\"a\"/><IPLN b=\"1\"><IFRM>"
             "<M i=\"1\" x=\"1\" y=\"2\"/></IFRM></IPLN></RZML>\n",
             "matchmover-rzml"},
            {"StabilizerFileVersion 6.0\nChannel t/shift/x\n\tKey 0\n\t\tFrame 1\n\t\tValue 1\n"
             "\t\tEnd\n\tEnd\nChannelEnd\n",
             "flame-stabilizer"},
            {"// Shake v4\nT1 = Tracker(In, \"1-2\", \"t\", Linear(0,1@1), Linear(0,2@1), 1);\n",
             "shake-script"}};
        for (const auto &[text, id] : texts) {
            Detection d = detectText(text, QStringLiteral("test"));
            QVERIFY2(d.format, id);
            QCOMPARE(QLatin1String(d.format->id), QLatin1String(id));
        }
    }
};

QTEST_GUILESS_MAIN(TestMorePrograms)
#include "tst_moreprograms.moc"
