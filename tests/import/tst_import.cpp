// SPDX-License-Identifier: Apache-2.0
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "import/recognise.h"
#include "settings/platesettings.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestImport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const char *name, const QByteArray &content)
    {
        return writeFile(dir.filePath(QLatin1String(name)), content);
    }

private slots:
    void recognitionTable_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QByteArray>("passes");
        QTest::addColumn<QByteArray>("fails");
        QTest::addColumn<QString>("message");
        QTest::newRow("3DE v4") << "3DE v4 Track File (*.txt)" << QByteArray("8\n")
                                << QByteArray("// 3DE\n")
                                << "This is not a 3DE File! Check type of versions!";
        QTest::newRow("3DE v3") << "3DE v3 Track File (*.ascii)" << QByteArray("// 3DE\n")
                                << QByteArray("8\n")
                                << "This is not a 3DE File! Check type of versions!";
        QTest::newRow("Boujou") << "Boujou Track File (*.txt)"
                                << QByteArray("# boujou 2d tracks export\n")
                                << QByteArray("# Boujou 2D tracks\n")
                                << "This is not a Boujou File!";
        QTest::newRow("MatchMover")
            << "MatchMover/Movimento Track File (*.rz2)" << QByteArray("imageSequence \"a\"\n")
            << QByteArray("x\n") << "This is not a MatchMover/Movimento File!";
        QTest::newRow("Maya Live")
            << "Maya Live Track File (*.txt)" << QByteArray("Size 1280 540\n")
            << QByteArray("size\n") << "This is not a Maya Live File!";
        QTest::newRow("Shake Track")
            << "Shake Track File (*.txt)" << QByteArray("TrackName track1\n") << QByteArray("x\n")
            << "This is not a Shake File!";
        QTest::newRow("Shake RotoShape")
            << "Shake RotoShape File (*.ssf)" << QByteArray("shake_shape_data 4.0\n")
            << QByteArray("x\n") << "This is not a Shake File!";
        QTest::newRow("Fusion Track") << "Fusion Track File (*.dfmo)" << QByteArray("DFMO\n")
                                      << QByteArray("x\n") << "This is not a Fusion File!";
        QTest::newRow("Combustion Track")
            << "Combustion Track File (*.ascii)" << QByteArray("a: b\n") << QByteArray("x\n")
            << "This is not a Combustion File!";
        QTest::newRow("Combustion GMask")
            << "Combustion GMask File (*.GMask)" << QByteArray("GMask v1\n") << QByteArray("x\n")
            << "This is not a Combustion File!";
        for (const char *always :
             {"PF 2011 Track File (*.txt)", "PF v5 Track File (*.2dt *.3dt)",
              "PF v4 Track File (*.2dt *.3dt)", "SynthEyes Track File (*.txt)",
              "Nuke Tracker File (*.*)", "Nuke CameraTracker File (*.*)",
              "Nuke RotoPaint File (*.nk)", "Fusion Mask File (*.comp)",
              "After Effects Track File (*.txt)", "After Effects Mask File (*.*)"})
            QTest::newRow(always) << always << QByteArray("// anything\n") << QByteArray()
                                  << QString();
    }

    void recognitionTable()
    {
        QFETCH(QString, filter);
        QFETCH(QByteArray, passes);
        QFETCH(QByteArray, fails);
        QFETCH(QString, message);
        QCOMPARE(recognise(file("pass", passes + "second line\n"), filter).status,
                 QStringLiteral("ok"));
        if (fails.isEmpty()) return;
        Recognised r = recognise(file("fail", fails), filter);
        QCOMPARE(r.status, QStringLiteral("no"));
        QCOMPARE(r.message, message);
        // The marker must be in the first line, not a later one.
        QCOMPARE(recognise(file("late", fails + passes), filter).status, QStringLiteral("no"));
    }

    void fileThatCannotBeOpened()
    {
        const QString missing = dir.filePath(QStringLiteral("missing.txt"));
        QCOMPARE(firstLine(missing), QString());
        QVERIFY(recognise(missing, QStringLiteral("3DE v4 Track File (*.txt)")).ok());
        QVERIFY(!recognise(missing, QStringLiteral("3DE v3 Track File (*.ascii)")).ok());
        QVERIFY(!recognise(missing, QStringLiteral("Boujou Track File (*.txt)")).ok());
        QVERIFY(recognise(missing, QStringLiteral("Nuke Tracker File (*.*)")).ok());
        QCOMPARE(recognise(missing, QStringLiteral("Text (*.txt)")).status, QString());
        ReadResult read = dispatch(missing, QStringLiteral("3DE v4 Track File (*.txt)"));
        QVERIFY(read.error.startsWith(missing + QStringLiteral(": cannot be opened")));
    }

    void dispatchByExactFilter()
    {
        QString path = file("a.txt", "1\nTrack_5\n0\n1\n3 1 2\n");
        TrackSet set = dispatch(path, QStringLiteral("3DE v4 Track File (*.txt)")).set;
        QCOMPARE(set.count, 1);
        QCOMPARE(set.names.first(), QStringLiteral("Track_0005"));
        // Export spellings, unknown filters and formats without a reader are refused.
        QStringList filters{QStringLiteral("Nuke Tracker File (*.txt)"),
                            QStringLiteral("Anything")};
        if (const Format *unread = formatWithoutReader())
            filters << QLatin1String(unread->importFilter);
        for (const QString &filter : filters)
            QVERIFY(dispatch(path, filter).error.contains(QLatin1String("is not available yet")));
    }

    void filesThatAreNotTrackFiles()
    {
        const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
        // Nothing to read, a program's bytes, another format's file: each named, no rows.
        QString empty = file("empty.txt", "");
        QCOMPARE(dispatch(empty, v4).error,
                 empty + QStringLiteral(": is empty, so it holds no tracks."));
        // Blank lines are not empty, but hold no rows either.
        QString blank = file("blank.txt", "\n\n");
        QCOMPARE(dispatch(blank, v4).error,
                 blank +
                     QStringLiteral(": no track rows found: it is not a 3D Equalizer v4 file."));
        static const char elf[] = "\x7f"
                                  "ELF\x02\x01\x01\0\0\0\n1 2 3\n";
        QString binary = file("program.txt", QByteArray(elf, sizeof elf - 1));
        QVERIFY(dispatch(binary, v4).error.contains(QLatin1String("NUL bytes")));
        QString camera = file("camera.txt", "TrackName a\n   Frame X Y Correlation\n"
                                            "    1.00   5   6   1.000 \n");
        QVERIFY(dispatch(camera, v4).error.contains(QLatin1String("no track rows")));
        QCOMPARE(dispatch(camera, QStringLiteral("Nuke CameraTracker File (*.*)")).set.count, 1);
    }

    void fillWritesImportedRows()
    {
        TrackSet set;
        for (int i = 0; i < 100; ++i)
            set.append(i < 50 ? QStringLiteral("A") : QStringLiteral("B"), i + 1, i * 1.5,
                       i * 0.25);
        TrackTable table;
        const QString filter = QStringLiteral("3DE v4 Track File (*.txt)");
        FillRange range = prepareFill(table, set.count, false);
        QCOMPARE(range.first, 0);
        QCOMPARE(range.end, 100);
        QCOMPARE(fillRows(table, set, range, filter), 100);
        QCOMPARE(table.columnCount(), 4);
        QCOMPARE(table.rowCount(), 100);
        QCOMPARE(table.text(99, 0), QStringLiteral("B"));
        QCOMPARE(table.text(3, 2), QStringLiteral("4.500000"));
        QCOMPARE(table.background(0, 0), std::optional<Rgba>(colors::nameCell));
        QCOMPARE(table.background(0, 3), std::optional<Rgba>(colors::valueCell));
        QCOMPARE(table.data(5, 3, Qt::WhatsThisRole).toString(), filter);

        // Added to the list: the new rows follow the old ones.
        TrackSet more;
        more.append(QStringLiteral("C"), 1, 1, 1);
        more.append(QStringLiteral("C"), 2, 2, 2);
        range = prepareFill(table, more.count, true);
        QCOMPARE(range.first, 100);
        QCOMPARE(range.end, 102);
        fillRows(table, more, range, QStringLiteral("Nuke Tracker File (*.*)"));
        QCOMPARE(table.text(101, 0), QStringLiteral("C"));
        QCOMPARE(table.data(101, 2, Qt::WhatsThisRole).toString(),
                 QStringLiteral("Nuke Tracker File (*.*)"));
        QCOMPARE(table.data(0, 2, Qt::WhatsThisRole).toString(), filter);

        // A new list replaces the rows.
        range = prepareFill(table, more.count, false);
        fillRows(table, more, range, filter);
        QCOMPARE(table.rowCount(), 2);
    }

    void cancelledFillKeepsWrittenRows()
    {
        TrackSet set;
        for (int i = 0; i < 10000; ++i)
            set.append(QStringLiteral("A"), i, 0, 0);
        TrackTable table;
        FillRange range = prepareFill(table, set.count, false);
        int written = fillRows(table, set, range, QString(), [](int done) { return done < 4096; });
        QCOMPARE(written, 4096);
        QCOMPARE(table.rowCount(), 10000);
        QVERIFY(table.hasItem(4095, 0));
        QVERIFY(!table.hasItem(4096, 0));
    }

    // Detection decides on a file's start: a file that cannot be a track
    // file is refused from it, and a track file larger than it is left to
    // the chosen reader to read whole.
    void detectionReadsTheStartOfALargeFile()
    {
        std::atomic<qint64> read{0};
        const QString sparse = dir.filePath(QStringLiteral("sparse.bin"));
        {
            QFile f(sparse);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(2) << 30)); // NUL bytes, taking no room on disk
        }
        const Detection nul = detectFormat(sparse, &read);
        QVERIFY2(nul.error.startsWith(QDir::toNativeSeparators(sparse)), qPrintable(nul.error));
        QVERIFY(nul.error.contains(QLatin1String("holds NUL bytes")));
        QVERIFY2(read <= DetectionPrefix, qPrintable(QString::number(read)));
        QFile::remove(sparse);

        const QString endless = file("endless.txt", QByteArray(3 * DetectionPrefix, 'a'));
        const Detection noLines = detectFormat(endless, &read);
        QVERIFY(noLines.error.isEmpty() && noLines.candidates.isEmpty());
        QVERIFY(read <= DetectionPrefix);

        QByteArray rows = "1\nTrack_0001\n0\n400000\n";
        for (int i = 1; i <= 400000; ++i)
            rows += QByteArray::number(i) + " 1024.5 2048.25\n";
        QVERIFY(rows.size() > 2 * DetectionPrefix);
        const QString large = file("large.txt", rows);
        const Detection v4 = detectFormat(large, &read);
        QVERIFY2(v4.format && QLatin1String(v4.format->id) == QLatin1String("3de4"),
                 qPrintable(v4.error));
        QVERIFY(read <= DetectionPrefix);
    }

    void anEmptyPathIsNamed()
    {
        QVERIFY(inputFileProblem(QString()).startsWith(QLatin1String("\"\" (an empty path): ")));
    }

    void firstFrameAndPlateTakeover()
    {
        // The smaller first frame wins; an empty field takes any.
        auto t = firstFrameTakeover(QStringLiteral("1"), QStringLiteral("10"));
        QVERIFY(t);
        QCOMPARE(t->importFirst, QStringLiteral("1"));
        QCOMPARE(t->exportFirst, QStringLiteral("1"));
        QVERIFY(!firstFrameTakeover(QStringLiteral("20"), QStringLiteral("10")));
        QVERIFY(firstFrameTakeover(QStringLiteral("20"), QString()));
        QCOMPARE(firstFrameTakeover(QStringLiteral("1000000"), QString())->exportFirst,
                 QStringLiteral("1000000"));

        PlateSettings s;
        TrackSet set;
        set.firstFrame = QStringLiteral("5");
        set.plateWidth = 2048;
        set.plateHeight = 778;
        s.takeOverImport(set);
        QCOMPARE(s.plateWidth, QStringLiteral("2048"));
        QCOMPARE(s.x1, QStringLiteral("2048"));
        QCOMPARE(s.y1, QStringLiteral("778"));
        QCOMPARE(s.importFirst, QStringLiteral("5"));
        QCOMPARE(s.exportFirstTip, QStringLiteral("5"));
        // A plate already set stays; a file without a plate leaves it too.
        set.plateWidth = set.plateHeight = 0;
        s.takeOverImport(set);
        QCOMPARE(s.plateHeight, QStringLiteral("778"));
        PlateSettings empty;
        empty.takeOverImport(set);
        QCOMPARE(empty.plateHeight, QStringLiteral("0"));

        // A new list takes its own first frame, larger or not; an added one
        // keeps the smaller.
        PlateSettings list;
        set.firstFrame = QStringLiteral("1");
        takeOverImport(list, set, ImportMode::NewList, QString());
        set.firstFrame = QStringLiteral("1001");
        takeOverImport(list, set, ImportMode::Append, QString());
        QCOMPARE(list.importFirst, QStringLiteral("1"));
        takeOverImport(list, set, ImportMode::NewList, QString());
        QCOMPARE(list.importFirst, QStringLiteral("1001"));
        QCOMPARE(list.exportFirst, QStringLiteral("1001"));
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
