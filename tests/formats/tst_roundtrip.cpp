// SPDX-License-Identifier: Apache-2.0
// Every registered format that reads and writes: rows written with identity
// settings read back as they went out. Formats join by being registered;
// one whose reader or writer is not built yet is listed as skipped.
#include "export/exporter.h"
#include "formats/kit/shapes.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/namerule.h"
#include "table/numbers.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

class TestRoundTrip : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    struct Back
    {
        QString error;
        TrackSet rows; // in the order the target holds them, names as read
    };

    // Apply with the plate the import stated (else 1920 x 1080), default
    // setting, pixel aspect 1 and the first frame unchanged; save; read back.
    Back convertToItself(TrackTable &table, PlateSettings &settings, const Format &format,
                         const QString &target)
    {
        Back back;
        if (toInt(settings.plateHeight) <= 0) {
            settings.setPlateWidth(QStringLiteral("1920"));
            settings.setPlateHeight(QStringLiteral("1080"));
        }
        const QString filter = QLatin1String(format.treeExportFilter);
        ApplyResult applied = applySettings(table, applyParams(settings, filter));
        ExportResult saved = exportTable(table, exportParams(settings, filter, target));
        back.error = applied.error + saved.error;
        QStringList files{target};
        if (format.perTrack()) {
            files.clear();
            for (const TrackFile &f : saved.trackFiles)
                files << f.path;
        }
        for (const QString &file : files) {
            ReadResult read = dispatch(file, QLatin1String(format.importFilter));
            back.error += read.error;
            for (int i = 0; i < read.set.count; ++i)
                back.rows.append(read.set.names.at(i), read.set.frames[size_t(i)],
                                 read.set.x[size_t(i)], read.set.y[size_t(i)]);
        }
        return back;
    }

    // Same frames and values within 0.000001; names compared for formats
    // that keep them in the file.
    static void compareRows(const TrackSet &expected, const TrackSet &back, bool names)
    {
        QCOMPARE(back.count, expected.count);
        for (int i = 0; i < back.count; ++i) {
            const size_t k = size_t(i);
            // Formats whose readers apply the name rule give the padded name.
            const QString &name = expected.names.at(i);
            if (names && back.names.at(i) != name) QCOMPARE(back.names.at(i), applyNameRule(name));
            QCOMPARE(back.frames[k], expected.frames[k]);
            QVERIFY2(qAbs(back.x[k] - expected.x[k]) <= 1e-6 &&
                         qAbs(back.y[k] - expected.y[k]) <= 1e-6,
                     qPrintable(QStringLiteral("row %1: %2, %3 came back as %4, %5")
                                    .arg(i)
                                    .arg(expected.x[k], 0, 'f', 9)
                                    .arg(expected.y[k], 0, 'f', 9)
                                    .arg(back.x[k], 0, 'f', 9)
                                    .arg(back.y[k], 0, 'f', 9)));
        }
    }

    static TrackSet awkwardRows()
    {
        TrackSet set;
        QRandomGenerator random(10);
        auto value = [&] { return double(random.bounded(200000000001LL) - 100000000000LL) / 1e6; };
        const QStringList names{QStringLiteral("Track_0001"), QStringLiteral("pt7"),
                                QStringLiteral("a_b_1234"), QStringLiteral("Z9_x_12")};
        for (const QString &name : names) {
            QList<int> frames{-5, 0, 1};
            for (int f = 2; f < 40; ++f)
                frames << f * 97;
            frames << 99999;
            for (int f : frames)
                set.append(name, f, value(), value());
        }
        // Zero, negative zero and the ends of the range.
        set.x[1] = 0.0;
        set.y[1] = -0.0;
        set.x[2] = -100000.0;
        set.y[2] = 99999.999999;
        set.firstFrame = QStringLiteral("-5");
        return set;
    }

    // Shapes as the shape readers give them back: shape after shape, each
    // vertex whole, frames ascending. Shapes are keyed on different frames,
    // beyond 99999, below 0, and one has more than 10000 keys.
    static TrackSet shapeRows()
    {
        TrackSet set;
        QRandomGenerator random(11);
        auto value = [&] { return double(random.bounded(4000000001LL)) / 1e6 - 2000.0; };
        const QList<QList<int>> framesOfShape{{-3, 0, 1, 2}, {99998, 99999, 100000, 123456}, {}};
        QList<int> many;
        for (int f = 1; f <= 10005; ++f)
            many << f;
        for (int s = 1; s <= 3; ++s) {
            const QList<int> &frames = s == 3 ? many : framesOfShape[s - 1];
            for (int v = 1; v <= (s == 3 ? 2 : 4); ++v)
                for (int f : frames)
                    set.append(shapeVertexName(s, v), f, value(), value());
        }
        set.firstFrame = QStringLiteral("-3");
        return set;
    }

    // The formats' worked examples, as written from the rows (Track_0001, 1,
    // 100.5, 200.25), (Track_0001, 2, 101, 201), (corner, 7, 50, 60) with a
    // 1920 x 1080 window; per-track formats from their one-track example.
    struct WorkedExample
    {
        QList<TestRow> rows;
        QByteArray bytes;
        QString file; // the file that holds the bytes, for per-track formats
    };

    static QHash<QString, WorkedExample> examplesById()
    {
        const QList<TestRow> rows{
            {"Track_0001", 1, 100.5, 200.25}, {"Track_0001", 2, 101, 201}, {"corner", 7, 50, 60}};
        const QByteArray pfHeader = "# 2D feature PFTrack tracks\n#\n# format:\n# \"name\"\n"
                                    "# <number of frames>\n"
                                    "# <frame number> <x pixel> <y pixel> <residual>\n#\n\n\n";
        auto pf = [&](const QByteArray &variantLine) {
            return pfHeader + "\"Track_0001\"\n" + variantLine + "2\n1 100.5 200.25 0.000\n" +
                   "2 101 201 0.000\n\n\"corner\"\n" + variantLine + "1\n7 50 60 0.000\n";
        };
        const QByteArray heading = "   Frame             X             Y   Correlation\n";
        return {
            {"3de4",
             {rows,
              "2\nTrack_0001\n0\n2\n1 100.500000 200.250000\n2 101.000000 201.000000\n"
              "corner\n0\n1\n7 50.000000 60.000000\n",
              {}}},
            {"3de3",
             {rows,
              "// 3DE Multiple Tracking Curves Export 1920 x 1080\n"
              "Track_0001\n\t1\t100.5 200.25\n\t2\t101 201\ncorner\n\t7\t50 60\n",
              {}}},
            {"pftrack2011", {rows, pf("1\n"), {}}},
            {"pftrack5", {rows, pf("\"Primary\"\n"), {}}},
            {"pftrack4", {rows, pf(""), {}}},
            {"boujou",
             {rows,
              "# boujou 2d tracks export: text\r\n# track_id    view      x    y\r\n"
              "Track_0001  1  100.5  200.25\nTrack_0001  2  101  201\ncorner  7  50  60\n",
              {}}},
            {"syntheyes",
             {rows,
              "Track_0001 1 100.5 200.25 15\nTrack_0001 2 101 201 15\ncorner 7 50 60 15\n",
              {}}},
            // MatchMover's size line names its image sequence and frame range,
            // as MatchMover's own files do.
            {"matchmover",
             {rows,
              "imageSequence\t\"Sequence 01\"\n{\n"
              "\t1920\t1080\tf( \"out.%04d.jpg\" )\tb( 1 7 1 )\t\n}\n"
              "pointTrack  \"Track_0001\"  rgb( 0 0 0 )\t\n{\n"
              "\t1\t   100.5     200.25\n\t2\t   101     201\n}\n"
              "pointTrack  \"corner\"  rgb( 0 0 0 )\t\n{\n\t7\t   50     60\n}\n",
              {}}},
            {"mayalive",
             {rows,
              "#  Size  1920  1080\n#  Name  Track_0001\n0 1 100.5 200.25 0.000\n"
              "0 2 101 201 0.000\n#  Name  corner\n1 7 50 60 0.000\n",
              {}}},
            {"nuke-tracker", {{{"P", 12, 100.5, 200.25}}, "12 100.5 200.25\n", "out_P.txt"}},
            {"nuke-cameratracker",
             {{{"P", 7, 123.456, 45}},
              "TrackName P\n" + heading + "    7.00      123.456       45         1.000 \n",
              {}}},
            {"shake-track",
             {{{"P", 5, 10.5, 20}},
              "TrackName P\n" + heading + "    5.00       10.5       20         1.000\n",
              "out_P.txt"}},
            {"combustion-track",
             {{{"P", 1, 123.45, 234.56}, {"P", 12, -12.5, 0}},
              "    1.0 :     +123.45,     +234.56\n   12.0 :       -12.5,        +0\n",
              "out_P.ascii"}},
        };
    }

private slots:
    void awkwardTables_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void awkwardTables()
    {
        QFETCH(QString, id);
        const Format *format = formatById(id);
        if (!format->writer) QSKIP("Corvane reads this format but does not write it");
        if (!format->read) QSKIP("a script for another program: tst_sceneexports reads it");
        TrackSet rows = format->shapes ? shapeRows() : awkwardRows();
        TrackTable table;
        PlateSettings settings;
        takeOverImport(settings, rows, ImportMode::NewList);
        fillImport(table, rows, ImportMode::NewList, QLatin1String(format->importFilter));
        QDir(dir.path()).mkdir(id);
        Back back =
            convertToItself(table, settings, *format,
                            dir.filePath(id + QStringLiteral("/out.") + format->fileExtension()));
        QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
        compareRows(rows, back.rows, !format->perTrack() && format->writesNames);
    }

    // Names with blanks, tabs, quotes, braces, "#", letters beyond ASCII,
    // 300 characters or a leading digit: every writer's file reads back to
    // the same tracks, frames and values. A name the format cannot hold is
    // written with "_" for what it cannot hold, reported, and still apart
    // from every other track's.
    void awkwardNames_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            if (!f.shapes) QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void awkwardNames()
    {
        QFETCH(QString, id);
        const Format *format = formatById(id);
        if (!format->writer) QSKIP("Corvane reads this format but does not write it");
        if (!format->read) QSKIP("a script for another program: tst_sceneexports reads it");
        const QStringList names{QStringLiteral("Track 01"),
                                QStringLiteral("Track_01"),
                                QStringLiteral("Track_01_2"),
                                QStringLiteral("Track_0001"),
                                QStringLiteral("tab\there"),
                                QStringLiteral("form\ffeed"),
                                QStringLiteral("say \"cheese\""),
                                QStringLiteral("{braced}"),
                                QStringLiteral("#hash"),
                                QStringLiteral("Straße_Köln_ñ"),
                                QString(300, QLatin1Char('n')),
                                QStringLiteral("7up"),
                                QStringLiteral(" lead and trail "),
                                QStringLiteral("a_b"),
                                QStringLiteral("a b"),
                                QStringLiteral("naïve_ü"),
                                QStringLiteral("Track_5")};
        QList<TestRow> rows;
        for (int t = 0; t < names.size(); ++t)
            for (int f = 1; f <= 3; ++f)
                rows.append({names[t], f + 10 * t, 100.25 + t, 200.5 + f});
        QDir(dir.path()).mkpath(QStringLiteral("names/") + id);
        const QString target =
            dir.filePath(QStringLiteral("names/%1/out.%2").arg(id, format->fileExtension()));
        ExportResult saved = saveAs(importedTable(rows), format->id, target);
        QVERIFY2(saved.ok(), qPrintable(saved.error));

        QHash<QString, QString> writtenAs;
        for (const RenamedTrack &r : saved.renamed)
            writtenAs.insert(r.from, r.to);
        QSet<QString> written;
        for (const QString &name : names) {
            const QString as = writtenAs.value(name, name);
            QVERIFY2(!written.contains(as), qPrintable(as));
            written.insert(as);
            if (as != name) QVERIFY(as.size() >= name.size()); // "_" stands for what went
        }

        QStringList files{target};
        if (format->perTrack()) {
            files.clear();
            for (const TrackFile &f : saved.trackFiles)
                files << f.path;
            QCOMPARE(files.size(), names.size());
        }
        TrackSet back;
        for (const QString &file : files) {
            ReadResult read = dispatch(file, QLatin1String(format->importFilter));
            QVERIFY2(read.ok(), qPrintable(read.error));
            back.append(read.set);
        }
        QCOMPARE(back.count, int(rows.size()));
        QCOMPARE(back.names.runs().size(), names.size()); // no track merged or split
        for (int i = 0; i < back.count; ++i) {
            const size_t k = size_t(i);
            QCOMPARE(back.frames[k], rows[i].frame);
            QCOMPARE(back.x[k], rows[i].x);
            QCOMPARE(back.y[k], rows[i].y);
            // Readers that apply the name rule pad a short last part.
            const QString as = writtenAs.value(rows[i].name, rows[i].name);
            if (!format->perTrack() && format->writesNames && back.names.at(i) != as)
                QCOMPARE(back.names.at(i), applyNameRule(as));
        }
    }

    // Each format's worked example is written byte for byte, and the bytes
    // read back to its rows and write again as they were.
    void workedExamples_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void workedExamples()
    {
        QFETCH(QString, id);
        const auto examples = examplesById();
        if (!examples.contains(id)) QSKIP("this format's description gives no worked example");
        const WorkedExample &example = examples[id];
        const Format *format = formatById(id);
        QDir(dir.path()).mkpath(QStringLiteral("worked/") + id);
        const QString folder = dir.filePath(QStringLiteral("worked/") + id);
        const QString target = folder + QStringLiteral("/out.") + format->fileExtension();
        ExportResult saved = saveAs(importedTable(example.rows), format->id, target);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        const QString written =
            example.file.isEmpty() ? target : folder + QLatin1Char('/') + example.file;
        QCOMPARE(fileContents(written), example.bytes);

        ReadResult read = dispatch(written, QLatin1String(format->importFilter));
        QVERIFY2(read.ok(), qPrintable(read.error));
        QCOMPARE(read.set.count, int(example.rows.size()));
        QList<TestRow> back;
        for (int i = 0; i < read.set.count; ++i) {
            const size_t k = size_t(i);
            QCOMPARE(read.set.frames[k], example.rows[i].frame);
            QCOMPARE(read.set.x[k], example.rows[i].x);
            QCOMPARE(read.set.y[k], example.rows[i].y);
            back.append({example.rows[i].name, read.set.frames[k], read.set.x[k], read.set.y[k]});
            if (!format->perTrack() && format->writesNames)
                QCOMPARE(read.set.names.at(i), example.rows[i].name);
        }
        const QString again = folder + QStringLiteral("/again/out.") + format->fileExtension();
        QDir().mkpath(QFileInfo(again).path());
        QVERIFY(saveAs(importedTable(back), format->id, again).ok());
        const QString rewritten = example.file.isEmpty()
                                      ? again
                                      : QFileInfo(again).path() + QLatin1Char('/') + example.file;
        QCOMPARE(fileContents(rewritten), example.bytes);
    }

    // Every real file of a format that reads and writes, converted to its
    // own format with identity settings, reads back as the file itself.
    void realFiles_data()
    {
        QTest::addColumn<QString>("path");
        const QString samples = QString::fromLocal8Bit(qgetenv("CORVANE_SHARED_SAMPLES"));
        if (!QDir(samples).exists()) {
            QTest::newRow("no samples") << QString();
            return;
        }
        QDirIterator it(samples, QDir::Files, QDirIterator::Subdirectories);
        QStringList files;
        while (it.hasNext()) {
            QString path = it.next();
            if (!path.endsWith(QLatin1String(".md")) && !path.contains(QLatin1String("LICENSE")))
                files << path;
        }
        files.sort();
        for (const QString &path : files)
            QTest::newRow(qPrintable(QDir(samples).relativeFilePath(path))) << path;
    }

    void realFiles()
    {
        QFETCH(QString, path);
        if (path.isEmpty()) QSKIP("the shared samples are not beside the project");
        const QString folder = QFileInfo(path).dir().dirName();
        const Format *format = formatById(folder);
        if (!format) {
            format = detectFormat(path).format;
        }
        if (!format) QSKIP(qPrintable(folder + QStringLiteral(": no format reads this file")));
        if (!format->writer) QSKIP("Corvane reads this format but does not write it");
        if (!format->read) QSKIP("a script for another program: tst_sceneexports reads it");
        const TrackSet original = dispatch(path, QLatin1String(format->importFilter)).set;
        TrackTable table;
        PlateSettings settings;
        ImportResult imported = importFile(table, settings, path, *format, ImportMode::NewList);
        QVERIFY2(imported.ok(), qPrintable(imported.error));
        QString target = dir.filePath(QStringLiteral("real-") + QFileInfo(path).fileName());
        Back back = convertToItself(table, settings, *format, target);
        QVERIFY2(back.error.isEmpty(), qPrintable(back.error));
        compareRows(original, back.rows, !format->perTrack() && format->writesNames);
    }
};

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
