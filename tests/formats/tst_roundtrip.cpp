// Every registered format that reads and writes: rows written with identity
// settings read back as they went out. Formats join by being registered;
// one whose reader or writer is not built yet is listed as skipped.
#include "export/exporter.h"
#include "formats/namerule.h"
#include "formats/registry.h"
#include "formats/shapes.h"
#include "import/detect.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
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
        if (!format->read || !format->writer)
            QSKIP(qPrintable(id + QStringLiteral(": reading or writing is not built yet")));
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
        if (!format || !format->read || !format->writer)
            QSKIP(qPrintable(folder + QStringLiteral(": reading or writing is not built yet")));
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
