// SPDX-License-Identifier: Apache-2.0
// The compositors' point-track files: the real Shake files, each format's
// examples written byte for byte and read back, and other programs' layouts.
#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestCompositors : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // Writes rows with a format; returns the bytes of every file written, in order.
    QList<QByteArray> write(const char *id, const QList<TestRow> &rows, const QString &stem)
    {
        const QString target = dir.filePath(stem);
        ExportResult r = saveAs(importedTable(rows), id, target);
        QList<QByteArray> files;
        for (const QString &path : r.written)
            if (path != target || r.trackFiles.isEmpty()) files << fileContents(path);
        return files;
    }

    TrackSet read(const char *id, const QString &path)
    {
        return dispatch(path, QLatin1String(formatById(QLatin1String(id))->importFilter)).set;
    }

private slots:
    void realShakeFiles()
    {
        const QString samples = QString::fromLocal8Bit(qgetenv("CORVANE_SHARED_SAMPLES"));
        const QString one = samples + QStringLiteral("/shake-track/one_shake_tracker.txt");
        const QString two = samples + QStringLiteral("/shake-track/two_shake_trackers.txt");
        if (!QFile::exists(one)) QSKIP("no shared samples");
        // Shake ends its sample lines with a blank and writes the tracker's
        // correlation: detection names Shake.
        for (const QString &path : {one, two}) {
            QList<const Format *> fitting = detectFormat(path).candidates;
            QCOMPARE(fitting.size(), 1);
            QCOMPARE(QLatin1String(fitting.first()->id), QLatin1String("shake-track"));
        }
        TrackSet set = read("shake-track", one);
        QCOMPARE(set.count, 46);
        QCOMPARE(set.names.first(), QStringLiteral("track1"));
        QCOMPARE(set.firstFrame, QStringLiteral("121"));
        QCOMPARE(set.frames.back(), 166);
        QCOMPARE(set.x.front(), 379.82);
        set = read("shake-track", two);
        QCOMPARE(set.count, 72);
        QCOMPARE(QSet<QString>(set.names.runs().begin(), set.names.runs().end()),
                 QSet<QString>({"track1", "track2"}));
        QCOMPARE(set.firstFrame, QStringLiteral("111"));
        QCOMPARE(*std::max_element(set.frames.begin(), set.frames.end()), 185);
    }

    void shake()
    {
        QList<QByteArray> files =
            write("shake-track", {{"A", 5, 10.5, 20}, {"B", 6, 1, 2}}, QStringLiteral("shake.txt"));
        QCOMPARE(files, QList<QByteArray>(
                            {"TrackName A\n   Frame             X             Y   Correlation\n"
                             "    5.00       10.5       20         1.000\n",
                             "TrackName B\n   Frame             X             Y   Correlation\n"
                             "    6.00       1       2         1.000\n"}));
        TrackSet back = read("shake-track", dir.filePath(QStringLiteral("shake_A.txt")));
        QCOMPARE(back.names.toList(), QStringList({"A"}));
        QCOMPARE(back.x, std::vector<double>({10.5}));
        // Names through the name rule; a frame that is not whole is refused.
        QString tracker = writeFile(dir.filePath(QStringLiteral("s2.txt")),
                                    "TrackName tracker_12\n  1.00 1 2 1.000\n");
        QCOMPARE(read("shake-track", tracker).names.toList(), QStringList({"tracker_0012"}));
        QString half =
            writeFile(dir.filePath(QStringLiteral("s3.txt")), "TrackName t\n  1.50 1 2 1.000\n");
        QVERIFY(
            dispatch(half, QStringLiteral("Shake Track File (*.txt)"))
                .error.contains(QLatin1String("line 2: the frame \"1.50\" is not a whole number")));
    }

    void fusion()
    {
        QList<QByteArray> files =
            write("fusion-track", {{"A", 12, 320.5, 240}}, QStringLiteral("shot.dfmo"));
        QCOMPARE(files, QList<QByteArray>({"DFMO\n320.5 240 0.000000  0.000000  0.000000  "
                                           "0.000000 12.000000\n"}));
        TrackSet back = read("fusion-track", dir.filePath(QStringLiteral("shot_A.dfmo")));
        QCOMPARE(back.names.toList(), QStringList({"shot_A"})); // only a number is padded
        QCOMPARE(back.frames, std::vector<int>({12}));
        // A size line shifts the samples after it.
        QString sized = writeFile(dir.filePath(QStringLiteral("sized.dfmo")),
                                  "DFMO\n# comment\n1 2 3 4 576\n10 20 0 0 0 0 3.000000\n");
        back = read("fusion-track", sized);
        QCOMPARE(back.x, std::vector<double>({10.5}));
        QCOMPARE(back.y, std::vector<double>({308}));
    }

    void afterEffects()
    {
        QList<QByteArray> files =
            write("ae-track", {{"a", 1, 100.5, 200.25}, {"b", 2, 3, 4}, {"c", 3, 5, 6}},
                  QStringLiteral("ae.txt"));
        const QByteArray expected =
            "Adobe After Effects 8.0 Keyframe Data\n\n\tUnits Per Second\t24\n"
            "\tSource Width\t1920\n\tSource Height\t1080\n\tSource Pixel Aspect Ratio\t1\n"
            "\tComp Pixel Aspect Ratio\t1\n"
            "Motion Trackers\tTracker #1\tTrack Point #1\tFeature Center\n"
            "\tFrame\tX pixels\tY pixels\n\t1\t100.5\t200.25 \n"
            "Motion Trackers\tTracker #2\tTrack Point #1\tFeature Center\n"
            "\tFrame\tX pixels\tY pixels\n\t2\t3\t4 \n"
            "Motion Trackers\tTracker #3\tTrack Point #1\tFeature Center\n"
            "\tFrame\tX pixels\tY pixels\n\t3\t5\t6 \n\n\nEnd of Keyframe Data\n";
        QCOMPARE(files, QList<QByteArray>({expected}));
        TrackSet back = read("ae-track", dir.filePath(QStringLiteral("ae.txt")));
        QCOMPARE(back.names.toList(), QStringList({"Tracker1", "Tracker2", "Tracker3"}));
        QCOMPARE(QSize(back.plateWidth, back.plateHeight), QSize(1920, 1080));
        // Lines without the trailing blank, CR LF, a layer's Position read
        // (its Z left out) and other sections skipped.
        QString other =
            writeFile(dir.filePath(QStringLiteral("ae2.txt")),
                      "Adobe After Effects 8.0 Keyframe Data\r\n\r\n\tSource Width\t640\r\n"
                      "\tSource Height\t480\r\nTransform\tPosition\r\n\tFrame\tX pixels\tY "
                      "pixels\tZ pixels\r\n"
                      "\t0\t320\t240\t0\r\n\t1\t321\t241\r\n"
                      "Motion Trackers\tTracker #2\tTrack Point #1\tFeature Center\r\n"
                      "\tFrame\tX pixels\tY pixels\r\n\t7\t10\t20\r\n"
                      "Motion Trackers\tTracker #2\tTrack Point #1\tConfidence\r\n"
                      "\tFrame\tpercent\r\n\t7\t98\r\n\r\nEnd of Keyframe Data\r\n");
        back = read("ae-track", other);
        QCOMPARE(back.names.toList(), QStringList({"Position", "Position", "Tracker2"}));
        QCOMPARE(back.frames, std::vector<int>({0, 1, 7}));
        QCOMPARE(back.y, std::vector<double>({240, 241, 20}));
    }

    void combustion()
    {
        QList<QByteArray> files =
            write("combustion-track",
                  {{"A", 1, 123.45, 234.56}, {"A", 12, -12.5, 0}, {"A", 123456, 1.5, -1234567}},
                  QStringLiteral("shot.ascii"));
        QCOMPARE(files, QList<QByteArray>({"    1.0 :     +123.45,     +234.56\n"
                                           "   12.0 :       -12.5,        +0\n"
                                           "123456.0 :       +1.5,    -1234567\n"}));
        TrackSet back = read("combustion-track", dir.filePath(QStringLiteral("shot_A.ascii")));
        QCOMPARE(back.names.first(), QStringLiteral("shot_A"));
        QCOMPARE(back.frames, std::vector<int>({1, 12, 123456}));
        QCOMPARE(back.x, std::vector<double>({123.45, -12.5, 1.5}));
        QCOMPARE(back.y, std::vector<double>({234.56, 0, -1234567}));
    }
};

QTEST_GUILESS_MAIN(TestCompositors)
#include "tst_compositors.moc"
