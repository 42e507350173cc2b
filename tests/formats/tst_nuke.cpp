// SPDX-License-Identifier: Apache-2.0
#include "formats/nuke/nuke.h"
#include "formats/nuke/nukerotopaint.h"
#include "import/dispatch.h"
#include "testdata.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestNuke : public QObject
{
    Q_OBJECT

    static QString trackName(const QString &path)
    {
        return readNukeTracker(fileContents(path), path).set.names.first();
    }
    static TrackSet readNukeCameraTrackerSet(const QByteArray &data)
    {
        return readNukeCameraTracker(data).set;
    }

    // A RotoPaint script of one one-vertex shape whose X and Y curves hold
    // `keys` keys (Y keyed on every other frame, backwards), its tangents
    // compact curves; `count` replaces the X curve's key count.
    static QByteArray rotoCurve(int keys, const QByteArray &count = QByteArray())
    {
        auto keyed = [&](bool y) {
            QByteArray c =
                "L 0 4096 0.5 2 0 0 \"\" 0 " +
                (count.isEmpty() || y ? QByteArray::number(y ? keys / 2 : keys) : count) + ' ';
            for (int k = 0; k < keys; ++k) {
                const int frame = y ? keys - 2 * k : k + 1;
                if (y && k >= keys / 2) break;
                c += "\"\" " + QByteArray::number(frame) + ' ' +
                     QByteArray::number(y ? frame * 0.5 : frame + 0.25) + " 0 0 0 0 256 0 ";
            }
            return c + "0";
        };
        const QByteArray tangent = " 0 S 0 1 S 0 2 0";
        return "RotoPaint {\n curves {AnimTree: \"\" {\n Version: 1.1\n   Node: {\n    NodeName: "
               "\"Shape_1\" {\n     NodeType: 3\n     CurveGroup: \"\" {\n      CubicCurve: \"\" "
               "{\n"
               "       Type: 0 Dim: 2\n       NumOfPoints: 3\n      " +
               tangent + " 0 " + keyed(false) + ' ' + keyed(true) + " 0" + tangent +
               "\n      }\n     }\n    }\n   }\n  }\n }\n}\n";
    }

private slots:
    // A long curve reads whole, each X key with the Y key of its frame (or
    // the Y curve's last value); counts that no line holds are broken curves.
    void rotoPaintCurves()
    {
        ReadResult read = readNukeRotoPaint(rotoCurve(200000));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.set.count, 200000);
        QCOMPARE(read.set.frames[1], 2);
        QCOMPARE(read.set.y[1], 1.0); // keyed at frame 2
        QCOMPARE(read.set.y[2], 1.0); // no Y key at 3: the Y curve's last value (frame 2)
        QCOMPARE(read.set.y[3], 2.0); // keyed at frame 4
        QCOMPARE(read.set.y[199999], 100000.0);
        for (const QByteArray &count :
             {QByteArray("1e300"), QByteArray("nan"), QByteArray("-5"), QByteArray("100000000")}) {
            ReadResult broken = readNukeRotoPaint(rotoCurve(10, count));
            QCOMPARE(broken.set.count, 0);
            QVERIFY2(!broken.notes.isEmpty() &&
                         broken.notes.first().contains(QLatin1String("cannot read")),
                     count.constData());
        }
        // Numbers no integer holds, where the files give counts and frames.
        const QString seeds = QStringLiteral(CORVANE_SOURCE_DIR "/tests/fuzz/seeds/");
        ReadResult huge = readNukeRotoPaint(fileContents(seeds + "rotopaint-huge-counts.nk"));
        QCOMPARE(huge.set.count, 0);
        QCOMPARE(huge.notes.size(), 1);
        ReadResult time = dispatch(seeds + "rotoshape-huge-key-time.ssf",
                                   QStringLiteral("Shake RotoShape File (*.ssf)"));
        QVERIFY2(time.error.contains(QLatin1String("line 4: the key time \"1e20\" is not a whole "
                                                   "frame")),
                 qPrintable(time.error));
    }

    void trackerLines()
    {
        TrackSet set = readNukeTracker("12 100.5 200.25\n13 101 201\n", QStringLiteral("t")).set;
        QCOMPARE(set.count, 2);
        QCOMPARE(set.frames, std::vector<int>({12, 13}));
        QCOMPARE(set.x[0], 100.5);
        QCOMPARE(set.y[0], 200.25);
        QCOMPARE(set.firstFrame, QStringLiteral("12"));
        // X and Y only: frames count from 1, the first frame is reported as 0.
        set = readNukeTracker("100.5 200.25\r\n101 201\r\n102 202", QStringLiteral("t")).set;
        QCOMPARE(set.frames, std::vector<int>({1, 2, 3}));
        QCOMPARE(set.firstFrame, QStringLiteral("0"));
        // Lines of neither form are skipped.
        set = readNukeTracker("\nheader text here now\n5 1 2\n5  1 2\n", QStringLiteral("t")).set;
        QCOMPARE(set.count, 1);
        QCOMPARE(readNukeTracker("", QStringLiteral("t")).set.count, 0);
        // A data line with a bad number is an error; a frame past the end is too.
        QCOMPARE(readNukeTracker("1 2 3\n2 abc 3\n", QStringLiteral("t")).error,
                 QStringLiteral("the X coordinate \"abc\" is not a finite number."));
        ReadResult last = readNukeTracker("1000000000 1 2\n3 4\n", QStringLiteral("t"));
        QCOMPARE(last.line, 2);
        QVERIFY(last.error.contains(QLatin1String("outside the frames")));
    }

    void trackerNameFromTheFile()
    {
        QTemporaryDir dir;
        for (const char *name : {"shot_track1.txt", "shot-2.v1.txt", "plain"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            f.open(QIODevice::WriteOnly);
            f.write("1 2 3\n");
        }
        QCOMPARE(trackName(dir.filePath(QStringLiteral("shot_track1.txt"))),
                 QStringLiteral("shot_track1"));
        QCOMPARE(trackName(dir.filePath(QStringLiteral("shot-2.v1.txt"))),
                 QStringLiteral("shot-2.v1"));
        QCOMPARE(trackName(dir.filePath(QStringLiteral("plain"))), QStringLiteral("plain"));
    }

    void cameraTrackerRealFile()
    {
        TrackSet set = readNukeCameraTracker(fileContents(samplePath("nuke_camtracker.txt"))).set;
        QCOMPARE(set.count, 10457);
        QStringList names = set.names.toList();
        names.removeDuplicates();
        QCOMPARE(names.size(), 261);
        QCOMPARE(names.first(), QStringLiteral("autotrack0"));
        QCOMPARE(names.last(), QStringLiteral("autotrack260"));
        QCOMPARE(set.firstFrame, QStringLiteral("1"));
        QCOMPARE(*std::max_element(set.frames.begin(), set.frames.end()), 65);
        QCOMPARE(set.x[0], 348.0);
        QCOMPARE(set.y[0], 614.667);
    }

    void cameraTrackerNames()
    {
        const QByteArray heading = "   Frame             X             Y   Correlation\n";
        TrackSet set = readNukeCameraTrackerSet("TrackName first one\n" + heading +
                                                "    7.00      123.456       45         1.000 \n"
                                                "\nTrackName B\n" +
                                                heading + "   10.00 1 2 1.000\n");
        QCOMPARE(set.names.toList(), QStringList({"first one", "B"}));
        QCOMPARE(set.frames, std::vector<int>({7, 10}));
        QCOMPARE(set.x[0], 123.456);
        QCOMPARE(set.y[0], 45.0);
        // Without any TrackName line the track is autotrack0; a sample without Y is skipped.
        set = readNukeCameraTrackerSet(heading + "    1.00 5 6 1.000\n    2.00 5\n");
        QCOMPARE(set.names.toList(), QStringList({"autotrack0"}));
        QCOMPARE(readNukeCameraTrackerSet("").count, 0);
        QCOMPARE(readNukeCameraTracker(heading + "    1.50 5 6 1.000\n").error,
                 QStringLiteral("the frame \"1.50\" is not a whole number."));
    }
};

QTEST_GUILESS_MAIN(TestNuke)
#include "tst_nuke.moc"
