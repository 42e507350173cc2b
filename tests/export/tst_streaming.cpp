// SPDX-License-Identifier: Apache-2.0
// A streamed conversion writes what the whole table's conversion writes,
// to the byte, or declines and writes nothing.
#include "export/streaming.h"
#include "formats/3de/threedequalizer.h"
#include "formats/pftrack/pftrack.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "import/importer.h"
#include "import/streamedimport.h"
#include "settings/apply.h"
#include "testdata.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

struct Settings
{
    std::optional<int> exportFirst;
    bool programConventions = true;
};

std::function<bool(PlateSettings &)> settleWith(const Settings &given, const Format &target)
{
    return [given, &target](PlateSettings &s) {
        s.setPlateWidth(QStringLiteral("1920"));
        s.setPlateHeight(QStringLiteral("1080"));
        s.programConventions = given.programConventions;
        if (given.exportFirst) {
            s.exportFirst = QString::number(*given.exportFirst);
            s.exportFirstTyped = true;
        }
        s.defaultExportFirst(&target);
        return s.problem().isEmpty();
    };
}

// The import as the whole reading makes it: the file read whole, its first
// frame and plate taken over, the table filled.
ImportResult wholeImport(TrackTable &table, PlateSettings &settings, const QString &input,
                         const Format &source)
{
    ImportResult result;
    const ReadResult read = dispatch(input, source);
    if (!read.ok() || !read.cutShort.isEmpty()) {
        result.error = read.ok() ? read.cutShort : read.error;
        return result;
    }
    const QString filter = QLatin1String(source.importFilter);
    takeOverImport(settings, read.set, ImportMode::NewList, filter);
    result.range = fillImport(table, read.set, ImportMode::NewList, filter);
    result.notes = read.notes;
    return result;
}

// Every cell's text and tips, and what the import made of the settings.
QStringList importState(const TrackTable &t, const PlateSettings &s, const ImportResult &result)
{
    QStringList out{s.importFirst,
                    s.exportFirst,
                    s.exportFirstTip,
                    s.plateWidth,
                    s.plateHeight,
                    s.importFilter,
                    QString::number(result.range.first),
                    QString::number(result.range.end),
                    result.notes.join(QLatin1Char('|'))};
    for (int r = 0; r < t.rowCount(); ++r) {
        QString line;
        for (int c = 0; c < t.columnCount(); ++c)
            for (int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::StatusTipRole, Qt::WhatsThisRole,
                             Qt::TextAlignmentRole})
                line += t.data(r, c, role).toString() + QLatin1Char('|');
        out << line;
    }
    return out;
}

// The conversion on the whole table: import, Apply, save.
QByteArray wholeConversion(const QString &input, const Format &source, const Format &target,
                           const Settings &given, const QString &output)
{
    TrackTable table;
    PlateSettings settings;
    if (!wholeImport(table, settings, input, source).ok()) return {};
    if (!settleWith(given, target)(settings)) return {};
    if (!applySettings(table, applyParams(settings, target)).error.isEmpty()) return {};
    ExportParams params = exportParams(settings, target, output);
    params.inputs = {input};
    if (!exportTable(table, params).ok()) return {};
    return fileContents(output);
}

StreamOutcome streamed(const QString &input, const Format &source, const Format &target,
                       const Settings &given, const QString &output)
{
    StreamJob job;
    job.input = input;
    job.source = &source;
    job.target = &target;
    job.output = output;
    job.inputs = {input};
    job.settle = settleWith(given, target);
    job.needsImportFirst = given.exportFirst.has_value();
    return streamConversion(job);
}

// A 3DE v4 file of tracks with the given row counts; each track's frames
// start at its first frame.
QByteArray threeDE(const QList<std::pair<int, int>> &tracks, const char *prefix = "Track_")
{
    QByteArray out = QByteArray::number(tracks.size()) + '\n';
    int t = 0;
    for (auto [rows, first] : tracks) {
        out += prefix + QByteArray::number(++t) + "\n0\n" + QByteArray::number(rows) + '\n';
        for (int r = 0; r < rows; ++r)
            out += QByteArray::number(first + r) + ' ' +
                   QByteArray::number(100.25 + r * 0.731 + t, 'f', 6) + ' ' +
                   QByteArray::number(900.0 - r * 0.417, 'f', 3) + '\n';
    }
    return out;
}

// Targets whose writers take the rows one after another.
QStringList streamingTargets()
{
    return {QStringLiteral("3de4"),        QStringLiteral("nuke-cameratracker"),
            QStringLiteral("pftrack2011"), QStringLiteral("boujou"),
            QStringLiteral("syntheyes"),   QStringLiteral("3de3")};
}

QStringList sampleFiles()
{
    QStringList files;
    for (const QString &root : {samplePath(""), sharedSample(QString())}) {
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    return files;
}

} // namespace

class TestStreaming : public QObject
{
    Q_OBJECT

private slots:
    void streamsAsTheWholeTableConverts_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("mustStream");
        QTest::addColumn<bool>("allSettings"); // else the default settings only
        static QTemporaryDir dir;
        // Tracks run across the pieces, and the smallest
        // frame stands in a later piece.
        QTest::newRow("across pieces")
            << writeFile(dir.filePath(QStringLiteral("pieces.txt")),
                         threeDE({{StreamPieceRows + 500, 10}, {3, 100}, {1000, 2}, {1, 5000}}))
            << true << true;
        QTest::newRow("one row") << writeFile(dir.filePath(QStringLiteral("one.txt")),
                                              threeDE({{1, -20}}))
                                 << true << true;
        // The same rows as written by every format that streams.
        const QString pieces = dir.filePath(QStringLiteral("pieces.txt"));
        const Format &threeDEv4 = *formatById(QStringLiteral("3de4"));
        for (const Format &f : formats()) {
            if (!f.stream || !f.writer || &f == &threeDEv4) continue;
            const QString written = dir.filePath(QStringLiteral("written-") + f.id);
            wholeConversion(pieces, threeDEv4, f, {}, written);
            // A per-track format's first track's file.
            const QString path = f.perTrack() ? written.section('.', 0, 0) + "_Track_0001" +
                                                    QLatin1String(f.trackFileExtension)
                                              : written;
            QVERIFY2(QFile::exists(path), f.id);
            QTest::newRow(f.id) << path << true << false;
        }
        for (const QString &file : sampleFiles()) {
            const Detection detection = detectFormat(file);
            if (detection.format && detection.format->stream)
                QTest::newRow(qPrintable(QFileInfo(file).fileName())) << file << false << true;
        }
    }

    void streamsAsTheWholeTableConverts()
    {
        QFETCH(QString, input);
        QFETCH(bool, mustStream);
        QFETCH(bool, allSettings);
        const QList<Settings> variants =
            allSettings ? QList<Settings>{{}, {1001, true}, {{}, false}} : QList<Settings>{{}};
        const Format &source = *detectFormat(input).format;
        // The import fills its table from the stream as the whole reading would.
        TrackTable streamedTable, wholeTable;
        PlateSettings streamedSettings, wholeSettings;
        const ImportResult viaStream =
            importFile(streamedTable, streamedSettings, input, source, ImportMode::NewList);
        const ImportResult viaWhole = wholeImport(wholeTable, wholeSettings, input, source);
        QCOMPARE(viaStream.error, viaWhole.error);
        QCOMPARE(importState(streamedTable, streamedSettings, viaStream),
                 importState(wholeTable, wholeSettings, viaWhole));
        QTemporaryDir out;
        int compared = 0;
        for (const Format &target : formats()) {
            if (!mayStream(source, target)) continue;
            for (const Settings &given : variants) {
                const QString whole = out.filePath(QStringLiteral("whole-") + target.id);
                const QString piecewise = out.filePath(QStringLiteral("stream-") + target.id);
                const StreamOutcome outcome = streamed(input, source, target, given, piecewise);
                // Writers that go back over the rows (by index) need the whole table.
                if (mustStream && streamingTargets().contains(QLatin1String(target.id)))
                    QVERIFY2(outcome.status == Streamed::Read, target.id);
                if (outcome.status != Streamed::Read) {
                    QVERIFY2(!QFile::exists(piecewise), target.id); // declined: nothing written
                    continue;
                }
                QVERIFY2(outcome.saved.ok(), qPrintable(outcome.saved.error));
                const QByteArray expected = wholeConversion(input, source, target, given, whole);
                QVERIFY2(fileContents(piecewise) == expected, target.id);
                ++compared;
            }
        }
        if (mustStream) QVERIFY(compared >= streamingTargets().size());
    }

    // What the report says of the input: its rows, tracks and frames, the
    // export first frame and the notes.
    void reportsTheWholeFile()
    {
        QTemporaryDir dir;
        const QString input = writeFile(dir.filePath(QStringLiteral("in.txt")),
                                        threeDE({{70000, 10}, {5, 3}, {70000, 10}}));
        const Format &source = *formatById(QStringLiteral("3de4"));
        const Format &target = *formatById(QStringLiteral("pftrack2011"));
        const StreamOutcome outcome =
            streamed(input, source, target, {}, dir.filePath(QStringLiteral("out.txt")));
        QCOMPARE(outcome.status, Streamed::Read);
        QCOMPARE(outcome.rows, 140005);
        QCOMPARE(outcome.tracks, 3);
        QCOMPARE(outcome.frames, std::make_pair(3, 70009));
        QCOMPARE(outcome.saved.rows, 140005);
        QCOMPARE(outcome.saved.tracks, 3);
        QCOMPARE(outcome.settings.importFirst, QStringLiteral("3"));
        QCOMPARE(outcome.applyNotes.size(), 1); // PFTrack's pixel centres
        QCOMPARE(outcome.saved.written, QStringList{dir.filePath(QStringLiteral("out.txt"))});

        // A name that comes back after another's is one track of two runs,
        // here in two pieces (the first run fills the first piece).
        QByteArray again = threeDE({{StreamPieceRows, 1}, {2, 1}, {3, 1}});
        again.replace("Track_3\n", "Track_1\n");
        const QString twice = writeFile(dir.filePath(QStringLiteral("again.txt")), again);
        const StreamOutcome back =
            streamed(twice, source, target, {}, dir.filePath(QStringLiteral("again-out.txt")));
        QCOMPARE(back.status, Streamed::Read);
        QCOMPARE(back.tracks, 2);
        QCOMPARE(back.saved.tracks, 3);
        QCOMPARE(fileContents(dir.filePath(QStringLiteral("again-out.txt"))),
                 wholeConversion(twice, source, target, {},
                                 dir.filePath(QStringLiteral("again-whole.txt"))));
    }

    // Whatever the whole reading would refuse, note or read otherwise, and
    // whatever the target would rename or note, declines before a file is
    // written: the whole conversion then says it.
    void declinesWhatOnlyTheWholeTableDoes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("target");
        const QByteArray good = threeDE({{70000, 1}, {3, 1}});
        QByteArray badNumber = good;
        badNumber.replace("\n69999 ", "\n69999x ");
        QTest::newRow("bad number in a later piece") << badNumber << "nuke-cameratracker";
        QTest::newRow("cut short") << good.left(good.size() - 20) << "nuke-cameratracker";
        QTest::newRow("count promises more")
            << QByteArray(good).replace("Track_2\n0\n3\n", "Track_2\n0\n4\n") << "3de4";
        QTest::newRow("lines after the tracks") << good + "7 1 2\n"
                                                << "nuke-cameratracker";
        QTest::newRow("fewer tracks than counted")
            << QByteArray(good).replace(0, 1, "3") << "nuke-cameratracker";
        QTest::newRow("name the target cannot hold")
            << threeDE({{10, 1}, {70000, 1}}, "Track #") << "boujou:writer";
        QTest::newRow("no rows") << QByteArray("1\nTrack\n0\n0\n") << "3de4";
    }

    void declinesWhatOnlyTheWholeTableDoes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, target);
        // ":writer": the target declines, not the reading.
        const bool readingDeclines = !target.endsWith(QLatin1String(":writer"));
        target = target.section(QLatin1Char(':'), 0, 0);
        QTemporaryDir dir;
        const QString input = writeFile(dir.filePath(QStringLiteral("in.txt")), text);
        const QString output = dir.filePath(QStringLiteral("out.txt"));
        const StreamOutcome outcome =
            streamed(input, *formatById(QStringLiteral("3de4")), *formatById(target), {}, output);
        QCOMPARE(outcome.status, Streamed::Declined);
        QVERIFY(!QFile::exists(output));
        if (!readingDeclines) return;
        // So does the streamed import, which leaves the table and settings as they were.
        TrackTable table;
        PlateSettings settings;
        ImportResult result;
        QVERIFY(!importStreamed(table, settings, input, *formatById(QStringLiteral("3de4")),
                                ImportMode::NewList, nullptr, result));
        QCOMPARE(table.rowCount(), 0);
        QCOMPARE(table.columnCount(), 0);
        QVERIFY(settings.importFirst.isEmpty() && result.ok());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"in.txt"});
    }

    // A last line cut short of its fields, with no line end, may be a row
    // cut in two: the whole reading refuses it, the stream declines it. With
    // its line end it is a line like any other.
    void cutLastLineDeclines()
    {
        struct Count : RowStream
        {
            int rows = 0;
            bool take(TrackSet &piece) override
            {
                rows += piece.count;
                return true;
            }
        };
        const Format &synthEyes = *formatById(QStringLiteral("syntheyes"));
        const QByteArray text = "a 1 0.5 0.5 15\na 2 0.25 0.75 15\nb 3 0.5 0.5";
        for (const QByteArray &end : {QByteArray(), QByteArray("\n")}) {
            Count counted;
            LineSource lines(text + end);
            QCOMPARE(synthEyes.stream(lines, QString(), counted),
                     end.isEmpty() ? Streamed::Declined : Streamed::Read);
            QCOMPARE(synthEyes.read(text + end, QString()).ok(), !end.isEmpty());
        }
    }

    // PFTrack's blocks (cameras, clips, counts of none) stream as the whole
    // reading reads them, told apart by the line after them as it tells
    // them; what it refuses or takes otherwise declines.
    void pfTrackStreamsItsBlocksAsRead_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("streams");
        QTest::newRow("stereo") << QByteArray(
                                       "# PFTrack 5\n\n\"A\"\n\"Primary\"\n2\n1 1 2 0\n2 3 4 0\n"
                                       "\"Secondary\"\n1\n1 5 6 0\n\n\"B\"\n\"Primary\"\n0\n"
                                       "\"C\"\n\"Primary\"\n1\n# between\n7 7 8 0\n")
                                << true;
        QTest::newRow("clips") << QByteArray("\"A\"\n1\n1\n1 1 2 0\n2\n2\n5 1 2 0\n6 1 2 0\n"
                                             "\"B\"\n2\n1\n3 3 3 0\n\"C\"\n1\n0\n")
                               << true;
        QTest::newRow("counts only") << QByteArray("\"A\"\n2\n1 1 2 0\n2 1 2 0\n\n\"B\"\n1\n"
                                                   "9 9 9 0\n")
                                     << true;
        QTest::newRow("a count of none last")
            << QByteArray("\"A\"\n1\n1 1 2 0\n\"B\"\n0\n") << true;
        QTest::newRow("fewer rows than counted")
            << QByteArray("\"A\"\n3\n1 1 2 0\n2 1 2 0\n\"B\"\n1\n1 1 1 0\n") << false;
        QTest::newRow("more rows than counted")
            << QByteArray("\"A\"\n1\n1 1 2 0\n2 1 2 0\n") << false;
        QTest::newRow("ends after a name") << QByteArray("\"A\"\n1\n1 1 2 0\n\"B\"\n") << false;
        QTest::newRow("a line it passes over")
            << QByteArray("\"A\"\n2\n1 1 2 0\n1 2\n2 1 2 0\n") << false;
        QTest::newRow("bad number") << QByteArray("\"A\"\n1\n1 1x 2 0\n") << false;
    }

    void pfTrackStreamsItsBlocksAsRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, streams);
        struct Gather : RowStream
        {
            TrackSet all;
            bool take(TrackSet &piece) override
            {
                all.append(piece);
                return true;
            }
        } gathered;
        LineSource lines(text);
        const Streamed outcome =
            formatById(QStringLiteral("pftrack5"))->stream(lines, QString(), gathered);
        const ReadResult whole = readPfTrack(text);
        if (!streams) {
            QCOMPARE(outcome, Streamed::Declined);
            return;
        }
        QVERIFY(whole.ok() && whole.notes.isEmpty());
        QCOMPARE(outcome, Streamed::Read);
        QCOMPARE(gathered.all.names.toList(), whole.set.names.toList());
        QVERIFY(gathered.all.frames == whole.set.frames);
        QVERIFY(gathered.all.x == whole.set.x && gathered.all.y == whole.set.y);
    }

    // The streamed reader gives the whole reader's rows, piece by piece.
    void streamedReaderReadsTheSameRows()
    {
        constexpr int full = StreamPieceRows;
        const QByteArray text = threeDE({{full, 1}, {1, 7}, {full + 1, -3}});
        struct Gather : RowStream
        {
            TrackSet all;
            QList<int> sizes;
            bool take(TrackSet &piece) override
            {
                sizes << piece.count;
                all.append(piece);
                return true;
            }
        } gathered;
        LineSource lines(text);
        QCOMPARE(streamThreeDEv4(lines, QString(), gathered), Streamed::Read);
        QCOMPARE(gathered.sizes, (QList<int>{full, full, 2}));
        const ReadResult whole = readThreeDEv4(text);
        QCOMPARE(gathered.all.count, whole.set.count);
        QCOMPARE(gathered.all.names.toList(), whole.set.names.toList());
        QVERIFY(gathered.all.frames == whole.set.frames);
        QVERIFY(gathered.all.x == whole.set.x && gathered.all.y == whole.set.y);
    }
};

QTEST_GUILESS_MAIN(TestStreaming)
#include "tst_streaming.moc"
