// SPDX-License-Identifier: Apache-2.0
// The camera trackers' files: the real files read right (their README's
// right reading), and each format's worked example written byte for byte.
#include "cliprocess.h"
#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestCameraTrackers : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    static QString shared(const QString &name) { return sharedSample(name); }

private slots:
    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QSize>("plate");
        QTest::addColumn<QStringList>("someNames");
        QTest::newRow("3de3") << "3de3/3de_export_v3.txt"
                              << "3de3" << 39 << 2150 << 1 << 275 << QSize(2048, 778)
                              << QStringList{"03", "04", "a03"};
        QTest::newRow("pftrack4") << "pftrack/sourcefile_pftrack.2dt"
                                  << "pftrack4" << 43 << 28800 << 0 << 1579 << QSize()
                                  << QStringList{"Tracker1"};
        QTest::newRow("pftrack5") << "pftrack/apft.2dt"
                                  << "pftrack5" << 4 << 142 << 0 << 1867 << QSize()
                                  << QStringList{"Tracker642", "1015", "1016", "1017"};
        QTest::newRow("empty trackers")
            << "pftrack/empty_trackers.2dt"
            << "pftrack5" << 1 << 10 << 9095 << 9138 << QSize() << QStringList{"Feature3"};
        QTest::newRow("pfmatchit")
            << "pftrack/pfmatchit_example.2dt"
            << "pftrack5" << 2 << 74 << 1 << 37 << QSize() << QStringList{"Feature1", "Feature1_2"};
        QTest::newRow("boujou") << "boujou/boujou_txt_export.txt"
                                << "boujou" << 20 << 2880 << 1 << 391 << QSize()
                                << QStringList{"Target_track_0001"};
        QTest::newRow("syntheyes")
            << "syntheyes/cola_plate.txt"
            << "syntheyes" << 6 << 507 << 1 << 100 << QSize() << QStringList{"Tracker1"};
        QTest::newRow("syntheyes one")
            << "syntheyes/one_tracker.txt"
            << "syntheyes" << 1 << 49 << 1 << 49 << QSize() << QStringList{"Tracker1"};
        QTest::newRow("syntheyes 2010")
            << "syntheyes/morePoints_sy2010.txt"
            << "syntheyes" << 26 << 752 << 0 << 29 << QSize() << QStringList{"tracker1"};
        QTest::newRow("matchmover") << "matchmover/2dtracks.rz2"
                                    << "matchmover" << 18 << 2016 << 1001 << 1256
                                    << QSize(2156, 1804) << QStringList{"Track 01", "Track 18"};
        QTest::newRow("matchmover kip") << "matchmover/kipPointsMatchmover.rz2"
                                        << "matchmover" << 5 << 504 << 1 << 211 << QSize(2560, 1080)
                                        << QStringList{"Track 01", "Track 05"};
        QTest::newRow("matchmover short") << "matchmover/EP_1000_head_trackers_v002.rz2"
                                          << "matchmover" << 7 << 910 << 1017 << 1146
                                          << QSize(714, 480) << QStringList{"Tracker0002"};
        QTest::newRow("mayalive") << "mayalive/mayalive_kipShot.txt"
                                  << "mayalive" << 18 << 1485 << 0 << 231 << QSize(1280, 540)
                                  << QStringList{"trackedPoint1", "trackedPoint18"};
    }

    // Converted to 3DE v4 with the plate the file states (else 1920 x 1080),
    // the points of the formats that are not in pixels land on the plate.
    void conventionsLandOnThePlate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("syntheyes") << "syntheyes/cola_plate.txt";
        QTest::newRow("mayalive") << "mayalive/mayalive_kipShot.txt";
        QTest::newRow("matchmover") << "matchmover/kipPointsMatchmover.rz2";
    }

    void conventionsLandOnThePlate()
    {
        QFETCH(QString, file);
        if (!QFile::exists(shared(file))) QSKIP("no shared samples");
        CliRun info = runConverter({"--info", shared(file)});
        const bool statesPlate = !info.out.contains(QLatin1String("not stated"));
        QString out = dir.filePath(QFileInfo(file).fileName() + QStringLiteral(".3de"));
        QStringList args{"--to", "3de4", "-o", out, shared(file)};
        if (!statesPlate)
            args << "--plate"
                 << "1920x1080";
        QCOMPARE(runConverter(args).exitCode, 0);
        TrackSet set = dispatch(out, QStringLiteral("3DE v4 Track File (*.txt)")).set;
        QRegularExpression plate(QStringLiteral("plate: (\\d+)x(\\d+)"));
        auto m = plate.match(info.out);
        const double w = statesPlate ? m.captured(1).toDouble() : 1920;
        const double h = statesPlate ? m.captured(2).toDouble() : 1080;
        QVERIFY(set.count > 0);
        for (int i = 0; i < set.count; ++i)
            QVERIFY2(set.x[size_t(i)] >= -0.01 * w && set.x[size_t(i)] <= 1.01 * w &&
                         set.y[size_t(i)] >= -0.01 * h && set.y[size_t(i)] <= 1.01 * h,
                     qPrintable(QStringLiteral("row %1: %2, %3")
                                    .arg(i)
                                    .arg(set.x[size_t(i)])
                                    .arg(set.y[size_t(i)])));
    }

    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, id);
        QFETCH(int, tracks);
        QFETCH(int, rows);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QSize, plate);
        QFETCH(QStringList, someNames);
        const QString path = shared(file);
        if (!QFile::exists(path)) QSKIP("the shared samples are not beside the project");
        Detection detection = detectFormat(path);
        QCOMPARE(detection.candidates.size(), 1);
        QCOMPARE(QLatin1String(detection.candidates.first()->id), id);
        ReadResult read = dispatch(path, QLatin1String(detection.candidates.first()->importFilter));
        QVERIFY2(read.ok() && read.cutShort.isEmpty(), qPrintable(read.error + read.cutShort));
        const TrackSet &set = read.set;
        QSet<QString> names(set.names.runs().begin(), set.names.runs().end());
        QCOMPARE(names.size(), tracks);
        QCOMPARE(set.count, rows);
        QCOMPARE(set.firstFrame.toInt(), first);
        QCOMPARE(*std::max_element(set.frames.begin(), set.frames.end()), last);
        QCOMPARE(QSize(set.plateWidth, set.plateHeight), plate.isValid() ? plate : QSize(0, 0));
        for (const QString &name : someNames)
            QVERIFY2(names.contains(name), qPrintable(name));
    }

    void realFileValues()
    {
        if (!QFile::exists(shared(QStringLiteral("3de3")))) QSKIP("no shared samples");
        TrackSet v3 = dispatch(shared(QStringLiteral("3de3/3de_export_v3.txt")),
                               QStringLiteral("3DE v3 Track File (*.ascii)"))
                          .set;
        QCOMPARE(v3.names.first(), QStringLiteral("03")); // "02" holds no rows
        QCOMPARE(v3.frames.front(), 23);
        QCOMPARE(v3.x.front(), 71.7889);
        QCOMPARE(v3.y.front(), 481.708);
        TrackSet pf = dispatch(shared(QStringLiteral("pftrack/apft.2dt")),
                               QStringLiteral("PF v5 Track File (*.2dt *.3dt)"))
                          .set;
        QCOMPARE(pf.x.at(1), 634787.52); // real data, however odd
        TrackSet bj = dispatch(shared(QStringLiteral("boujou/boujou_txt_export.txt")),
                               QStringLiteral("Boujou Track File (*.txt)"))
                          .set;
        QCOMPARE(bj.frames.front(), 5);
        QCOMPARE(bj.x.front(), 252.046);
        QCOMPARE(bj.y.front(), 171.677);
    }

    // The sub-pixel fixtures: one grid tracked in PFTrack and SynthEyes
    // lands, in 3DE v4, on the features' true positions (the lower-left at
    // (0.5, 0.5), the upper-right at (715.5, 571.514); SynthEyes' corner
    // trackers on the raster's corners), and SynthEyes' frame 0 is 3DE's 1.
    // With the files' conventions the old values and frames come back.
    void programConventions()
    {
        const QString pf = shared(QStringLiteral("subpixel/julik_pftrack.txt"));
        const QString se = shared(QStringLiteral("subpixel/sy_subpix_2dpaths.txt"));
        if (!QFile::exists(pf)) QSKIP("no shared samples");
        auto convert = [&](const QString &input, const QString &to, const char *conventions) {
            const QString out = dir.filePath(QFileInfo(input).completeBaseName() +
                                             QLatin1String(conventions) + QStringLiteral(".out"));
            CliRun run = runConverter(
                {"--to", to, "--plate", "720x576", "--conventions", conventions, "-o", out, input});
            return std::make_pair(run, out);
        };
        const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
        auto [pfRun, pfOut] = convert(pf, QStringLiteral("3de4"), "program");
        QCOMPARE(pfRun.exitCode, 0);
        QVERIFY2(pfRun.err.contains(QLatin1String("PFTrack 2011 pixel centres: +0.5 px")),
                 qPrintable(pfRun.err));
        TrackSet set = dispatch(pfOut, v4).set;
        QCOMPARE(set.count, 2);
        QVERIFY(qAbs(set.x[0] - 0.5) < 0.01 && qAbs(set.y[0] - 0.5) < 0.01);
        // PFTrack tracked the upper-right feature 0.014 px low.
        QVERIFY(qAbs(set.x[1] - 715.5) < 0.01 && qAbs(set.y[1] - 571.514) < 0.02);

        auto [seRun, seOut] = convert(se, QStringLiteral("3de4"), "program");
        QCOMPARE(seRun.exitCode, 0);
        QVERIFY2(seRun.err.contains(QLatin1String("frames from SynthEyes 0 to 3D Equalizer v4 1")),
                 qPrintable(seRun.err));
        set = dispatch(seOut, v4).set;
        QCOMPARE(set.names.at(2), QStringLiteral("Corner1"));
        QVERIFY(qAbs(set.x[2]) < 0.1 && qAbs(set.y[2]) < 0.1);
        QVERIFY(qAbs(set.x[3] - 720) < 0.1 && qAbs(set.y[3] - 576) < 0.1);
        QCOMPARE(set.frames, std::vector<int>({1, 1, 1, 1}));

        // And back to SynthEyes: the file's own values and frames.
        const QString back = dir.filePath(QStringLiteral("back.txt"));
        QCOMPARE(
            runConverter({"--to", "syntheyes", "--plate", "720x576", "-o", back, seOut}).exitCode,
            0);
        const TrackSet original = dispatch(se, QStringLiteral("SynthEyes Track File (*.txt)")).set;
        const TrackSet again = dispatch(back, QStringLiteral("SynthEyes Track File (*.txt)")).set;
        QCOMPARE(again.frames, original.frames);
        for (int i = 0; i < original.count; ++i)
            QVERIFY(qAbs(again.x[size_t(i)] - original.x[size_t(i)]) < 1e-5 &&
                    qAbs(again.y[size_t(i)] - original.y[size_t(i)]) < 1e-5);

        // The files' conventions: nothing moves but by the files' rules.
        auto [pfFile, pfFileOut] = convert(pf, QStringLiteral("3de4"), "file");
        QCOMPARE(pfFile.exitCode, 0);
        set = dispatch(pfFileOut, v4).set;
        QCOMPARE(set.x[0], 0.000002);
        QCOMPARE(set.y[0], -0.000002);
        auto [seFile, seFileOut] = convert(se, QStringLiteral("3de4"), "file");
        QCOMPARE(seFile.exitCode, 0);
        QVERIFY(seFile.err.isEmpty());
        set = dispatch(seFileOut, v4).set;
        QCOMPARE(set.frames, std::vector<int>({0, 0, 0, 0}));
        QVERIFY(qAbs(set.x[2] - (1 - 1.00136) * 360) < 1e-6);
        QCOMPARE(runConverter({"--to", "3de4", "--conventions", "pixels", se}).exitCode, 1);
    }

    // Nuke and Shake scripts are track files where a tracking node holds an
    // animated track, and otherwise are named as the scripts they are.
    void scriptsAreNamed()
    {
        if (!QFile::exists(shared(QStringLiteral("shake-script")))) QSKIP("no shared samples");
        const QStringList nuke = QDir(shared(QStringLiteral("nuke-script"))).entryList(QDir::Files);
        QVERIFY(!nuke.isEmpty());
        for (const QString &file : nuke) {
            Detection detection = detectFormat(shared(QStringLiteral("nuke-script/") + file));
            // Tracking nodes beside roto shapes: both readings are offered.
            const bool withShapes = file == QLatin1String("tracker4_with_empty_tracks_knob.nk");
            QVERIFY2(withShapes ? detection.candidates.contains(
                                      formatById(QStringLiteral("nuke-script"))) &&
                                      detection.candidates.size() == 2
                                : detection.format == formatById(QStringLiteral("nuke-script")),
                     qPrintable(file + QStringLiteral(": ") + detection.looksLike));
        }
        // A tracker inside a group, indented as pasted, and a plug-in's
        // versioned class are found as the reader finds them.
        const QByteArray grouped =
            "#! /usr/local/Nuke6.3/Nuke6.3 -nx\nversion 6.3 v4\nRoot {\n inputs 0\n}\n"
            "Group {\n name Group1\n}\n  Tracker3 {\n   track1 {{curve x1 10 11} {curve x1 20 "
            "21}}\n"
            "   name Tracker1\n  }\nend_group\n"
            "PlanarTracker1_0 {\n outputBottomLeft {{curve x1 5 6} {curve x1 7 8}}\n"
            " name PlanarTracker1\n}\n";
        Detection inGroup = detectText(grouped, QStringLiteral("grouped.nk"));
        QCOMPARE(inGroup.format, formatById(QStringLiteral("nuke-script")));
        const ReadResult groupRead = readBytes(grouped, QStringLiteral("grouped.nk"),
                                               *formatById(QStringLiteral("nuke-script")));
        QVERIFY2(groupRead.ok(), qPrintable(groupRead.error));
        QCOMPARE(groupRead.set.names.runs(),
                 QStringList({"Tracker1_track1", "PlanarTracker1_outputBottomLeft"}));
        QCOMPARE(groupRead.set.count, 4);
        const QByteArray blurScript = "version 8.0 v1\nRoot {\n inputs 0\n}\nBlur {\n size 3\n}\n";
        Detection blur = detectText(blurScript, QStringLiteral("blur.nk"));
        QVERIFY(!blur.format && blur.candidates.isEmpty());
        QCOMPARE(blur.looksLike, QStringLiteral("a Nuke script with no RotoPaint"));
        // A script with no tracking node is none; one whose nodes hold no
        // animated track reads as a Shake script that says so.
        const QStringList untracked{"ofx_vardefs.shk"};
        const QStringList shake =
            QDir(shared(QStringLiteral("shake-script"))).entryList(QDir::Files);
        QVERIFY(shake.size() >= 10);
        for (const QString &file : shake) {
            Detection detection = detectFormat(shared(QStringLiteral("shake-script/") + file));
            if (untracked.contains(file)) {
                QVERIFY2(!detection.format && detection.candidates.isEmpty(), qPrintable(file));
                QVERIFY2(detection.looksLike == QLatin1String("a Shake script"), qPrintable(file));
            } else {
                QVERIFY2(detection.format == formatById(QStringLiteral("shake-script")),
                         qPrintable(file));
            }
            if (file == QLatin1String("shake_tracker_with_no_anim.shk")) {
                const ReadResult read = dispatch(shared(QStringLiteral("shake-script/") + file),
                                                 QStringLiteral("Shake Script File (*.shk)"));
                QVERIFY(read.error.contains(QLatin1String("has an animated track")));
            }
        }
    }

    // A MatchMover file as MatchMover writes it: its size line names the
    // image sequence and its frame range; read back it brings its plate.
    void matchMoverSizeLine()
    {
        const QString real = shared(QStringLiteral("matchmover/kipPointsMatchmover.rz2"));
        if (!QFile::exists(real)) QSKIP("no shared samples");
        const QString out = dir.filePath(QStringLiteral("kip.rz2"));
        CliRun run = runConverter({"--to", "matchmover", "-o", out, real});
        QCOMPARE(run.exitCode, 0);
        const QByteArray bytes = fileContents(out);
        const QList<QByteArray> lines = bytes.split('\n');
        const QRegularExpression layout(QStringLiteral("^\\t(\\d+)\\t(\\d+)\\tf\\( \"[^\"]+\" \\)"
                                                       "\\tb\\( (\\d+) (\\d+) 1 \\)\\t$"));
        const QList<QByteArray> realLines = fileContents(real).split('\n');
        for (const QByteArray &line : {lines.value(2), realLines.value(2).chopped(1)}) {
            auto m = layout.match(QString::fromLatin1(line));
            QVERIFY2(m.hasMatch(), line.constData());
            QCOMPARE(m.capturedTexts().mid(1), QStringList({"2560", "1080", "1", "211"}));
        }
        QVERIFY(lines.value(2).contains("f( \"kip.%04d.jpg\" )"));
        ReadResult back = dispatch(out, QStringLiteral("MatchMover/Movimento Track File (*.rz2)"));
        QCOMPARE(QSize(back.set.plateWidth, back.set.plateHeight), QSize(2560, 1080));
        QCOMPARE(back.set.count, 504);
        QCOMPARE(back.set.firstFrame, QStringLiteral("1"));
        QCOMPARE(back.set.frames.back(), 211);
    }

    // Stereo cameras and clips stay apart; names keep their blanks; a
    // frame line may end in blanks; a count of 0 is a track without rows.
    void pfTrackBlocks()
    {
        const QString pf = QStringLiteral("PF v5 Track File (*.2dt *.3dt)");
        QString stereo = writeFile(dir.filePath(QStringLiteral("stereo.2dt")),
                                   "\n\"Track 1\"\n\"Primary\"\n2\n1 10 20 0.1 \n2 11 21 0.1 \r\n"
                                   "\"Secondary\"\n1\n1 12 22 0.2\n\n\"Auto_5\"\n\"Primary\"\n0\n"
                                   "\n\"Auto_6\"\n\"Primary\"\n1\n4 1 2 0\n");
        TrackSet set = dispatch(stereo, pf).set;
        QCOMPARE(set.names.toList(),
                 QStringList({"Track 1", "Track 1", "Track 1_Secondary", "Auto_0006"}));
        QCOMPARE(set.frames, std::vector<int>({1, 2, 1, 4}));
        ReadResult cut =
            dispatch(writeFile(dir.filePath(QStringLiteral("cut.2dt")), "\"A\"\n3\n1 1 1 0\n"), pf);
        QVERIFY(cut.cutShort.contains(QLatin1String("track \"A\" promises 3 rows, but the file "
                                                    "ends after 1.")));
    }

    // Layouts other programs write: white space around SynthEyes lines, a
    // Maya Live name after one blank, with blanks of its own.
    void lineLayouts()
    {
        TrackSet se = dispatch(writeFile(dir.filePath(QStringLiteral("se.txt")),
                                         "\n  A 1 0.5 -0.5 15  \r\nB\t2\t0.25\t0.75\n"),
                               QStringLiteral("SynthEyes Track File (*.txt)"))
                          .set;
        QCOMPARE(se.names.toList(), QStringList({"A", "B"}));
        QCOMPARE(se.y, std::vector<double>({-0.5, 0.75}));
        TrackSet maya = dispatch(writeFile(dir.filePath(QStringLiteral("maya.txt")),
                                           "# Size 640 480\n# Name my point 7\n0  3 0.1\t0.2 0\n"),
                                 QStringLiteral("Maya Live Track File (*.txt)"))
                            .set;
        QCOMPARE(maya.names.toList(), QStringList({"my point 7"}));
        QCOMPARE(maya.frames, std::vector<int>({3}));
        QCOMPARE(QSize(maya.plateWidth, maya.plateHeight), QSize(640, 480));
    }
};

QTEST_GUILESS_MAIN(TestCameraTrackers)
#include "tst_cameratrackers.moc"
