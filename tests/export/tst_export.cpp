// SPDX-License-Identifier: Apache-2.0
#include "export/census.h"
#include "export/exporter.h"
#include "export/savejournal.h"
#include "export/savetransaction.h"
#include "formats/3de/threedequalizer.h"
#include "formats/kit/shapes.h"
#include "formats/kit/stoprequest.h"
#include "formats/kit/textscan.h"
#include "formats/nuke/nuke.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "settings/apply.h"
#include "table/parallel.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cctype>
#include <numeric>
#include <thread>

using namespace corvane;

namespace {

// A file as written, then with bad numbers, a line missing and cut short,
// each somewhat before the middle, so that later parts of it follow.
QList<QByteArray> damaged(const QByteArray &text)
{
    const qsizetype at = text.indexOf('\n', text.size() * 2 / 5) + 1;
    const qsizetype next = text.indexOf('\n', at) + 1;
    if (at <= 0 || next <= 0) return {text};
    QList<QByteArray> out{text, text, text, text, text.left(at + (next - at) / 2)};
    qsizetype digit = at;
    while (digit < next && !std::isdigit(uchar(text[digit])))
        ++digit;
    out[1].insert(digit, 'x');
    digit = next - 1;
    while (digit > at && !std::isdigit(uchar(text[digit])))
        --digit;
    out[2].insert(digit + 1, 'x');
    out[3].remove(at, next - at);
    return out;
}

bool sameReading(const ReadResult &a, const ReadResult &b)
{
    return a.error == b.error && a.line == b.line && a.cutShort == b.cutShort &&
           a.notes == b.notes && a.set.count == b.set.count &&
           a.set.firstFrame == b.set.firstFrame && a.set.names.runs() == b.set.names.runs() &&
           a.set.names.runStarts() == b.set.names.runStarts() && a.set.frames == b.set.frames &&
           a.set.x == b.set.x && a.set.y == b.set.y;
}

} // namespace

// The export driver: validation, the row list, the census, the files.
class TestExport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    struct Row
    {
        QString name;
        int frame;
        double x, y;
    };

    static TrackTable table(const QList<Row> &rows)
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(int(rows.size()));
        for (int i = 0; i < rows.size(); ++i)
            t.setImportedRow(i, t.internName(rows[i].name), rows[i].frame, rows[i].x, rows[i].y, 0);
        return t;
    }

    // A save to path in the format of filter, to a 1920 x 1080 window.
    static ExportParams params(const QString &filter, const QString &path)
    {
        ExportParams p;
        p.targetFilter = filter;
        p.targetPath = path;
        p.windowWidth = QStringLiteral("1920");
        p.windowHeight = QStringLiteral("1080");
        p.pixelAspect = QStringLiteral("1.0");
        return p;
    }

    ExportResult save(const TrackTable &t, const char *filter, const QString &path,
                      QList<int> rows = {})
    {
        ExportParams p = params(QLatin1String(filter), path);
        p.rows = rows;
        return exportTable(t, p);
    }

private slots:
    void census()
    {
        TrackTable t = table({{"A", 1, 0, 0},
                              {"A", 2, 0, 0},
                              {"B", 1, 0, 0},
                              {"A", 3, 0, 0},
                              {"S01_a", 1, 0, 0},
                              {"S01_b", 1, 0, 0},
                              {"x", 1, 0, 0},
                              {"S01_c", 1, 0, 0},
                              {"S02_a", 1, 0, 0}});
        TrackCensus c = takeCensus(t, {0, 1, 2, 3, 4, 5, 6, 7, 8});
        QCOMPARE(c.changes, 7);
        QCOMPARE(c.rowCounts, (std::vector<int>{2, 1, 1, 1, 1, 1, 1, 1}));
        QCOMPARE(c.shapeCounts, (std::vector<int>{3, 1})); // S01 goes on past the other run
        c = takeCensus(t, {2});
        QCOMPARE(c.changes, 0);
        QCOMPARE(c.rowCounts, std::vector<int>{1});
        QCOMPARE(takeCensus(t, {}).changes, 0);
        QCOMPARE(shapePrefix(QStringLiteral("Shape01_Track_1")), QStringLiteral("Shape01"));
    }

    void validation()
    {
        TrackTable t = table({{"A", 1, 1, 1}, {"A", 2, 2, 2}, {"B", 3, 3, 3}});
        Validation v = validateForExport(t);
        QVERIFY(v.ok());
        QVERIFY(v.markedRows.isEmpty());
        t.setBackground(2, NameColumn, colors::rowMark);
        t.setBackground(0, NameColumn, colors::rowMark);
        QCOMPARE(validateForExport(t).markedRows, QList<int>({0, 2}));

        TrackTable empty = t.rowCount() ? table({{"A", 1, 1, 1}}) : TrackTable();
        empty.setItemText(0, YColumn, QString());
        QCOMPARE(validateForExport(empty).error,
                 QStringLiteral("There is empty cell! Check values! Row 1, Y Coord is empty."));
        empty.removeItem(0, YColumn);
        QCOMPARE(validateForExport(empty).error,
                 QStringLiteral("There is empty cell! Check values! Row 1, Y Coord is empty."));
        TrackTable noName = table({{"A", 1, 1, 1}});
        noName.setItemText(0, NameColumn, QString());
        QVERIFY(
            validateForExport(noName).error.endsWith(QLatin1String("Row 1, Track Name is empty.")));

        TrackTable bad = table({{"A", 1, 1, 1}, {"A", 2, 2, 2}});
        bad.setItemText(1, FrameColumn, QStringLiteral("2.5"));
        QCOMPARE(validateForExport(bad).error,
                 QStringLiteral("Row 2: the frame \"2.5\" is not a whole number. Check values!"));
        bad = table({{"A", 1, 1, 1}});
        bad.setItemText(0, XColumn, QStringLiteral("left"));
        QCOMPARE(validateForExport(bad).error,
                 QStringLiteral("Row 1: the X coordinate \"left\" is not a number. Check values!"));
    }

    void stemAndSafeNames()
    {
        QCOMPARE(pathStem(QStringLiteral("C:/shots/v1.2/track.txt")),
                 QStringLiteral("C:/shots/v1.2/track"));
        QCOMPARE(pathStem(QStringLiteral("/a/b/shot.v2.txt")), QStringLiteral("/a/b/shot"));
        QCOMPARE(pathStem(QStringLiteral("/a/b/shot")), QStringLiteral("/a/b/shot"));
        QCOMPARE(safeFileNamePart(QStringLiteral("a/b\\c:d*e?f\"g<h>i|j")),
                 QStringLiteral("a_b_c_d_e_f_g_h_i_j"));
        QCOMPARE(safeFileNamePart(QStringLiteral("tab\there")), QStringLiteral("tab_here"));
        QCOMPARE(safeFileNamePart(QString()), QStringLiteral("_"));
        QCOMPARE(safeFileNamePart(QStringLiteral("..")), QStringLiteral("_"));
        QCOMPARE(safeFileNamePart(QStringLiteral("Track 01")), QStringLiteral("Track 01"));
    }

    void threeDEv4WorkedExample()
    {
        TrackTable t = table(
            {{"Track_0001", 1, 100.5, 200.25}, {"Track_0001", 2, 101, 201}, {"corner", 7, 50, 60}});
        QString path = dir.filePath(QStringLiteral("worked.txt"));
        QVERIFY(save(t, "3DE v4 Track File (*.txt)", path).ok());
        QCOMPARE(
            fileContents(path),
            QByteArray("2\nTrack_0001\n0\n2\n1 100.500000 200.250000\n2 101.000000 201.000000\n"
                       "corner\n0\n1\n7 50.000000 60.000000\n"));
    }

    void markedRowsOnly()
    {
        QList<Row> rows;
        for (int i = 0; i < 10; ++i)
            rows.append({QStringLiteral("T"), i, double(i), 0});
        TrackTable t = table(rows);
        QString path = dir.filePath(QStringLiteral("marked.txt"));
        QVERIFY(save(t, "3DE v4 Track File (*.txt)", path, {3, 7}).ok());
        QCOMPARE(fileContents(path),
                 QByteArray("1\nT\n0\n2\n3 3.000000 0.000000\n7 7.000000 0.000000\n"));
        QVERIFY(save(t, "3DE v4 Track File (*.txt)", path).ok());
        QCOMPARE(fileContents(path).count('\n'), 14);
    }

    void nukeTrackerFilesPerTrack()
    {
        QDir folder(dir.filePath(QStringLiteral("pertrack")));
        folder.mkpath(QStringLiteral("."));
        TrackTable t = table({{"A", 1, 1234.5678, 0.0000123},
                              {"A", 2, 0.5, 1},
                              {"B", 1, 3, 4},
                              {"A", 3, 5, 6},
                              {"../x", 1, 7, 8}});
        QString target = folder.filePath(QStringLiteral("shot.txt"));
        ExportResult r = save(t, "Nuke Tracker File (*.txt)", target);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(fileContents(target), QByteArray()); // the target itself stays empty
        // A, B, A: the second run of A goes on at the end of A's file.
        QCOMPARE(fileContents(folder.filePath(QStringLiteral("shot_A.txt"))),
                 QByteArray("1 1234.5678 0.000012\n2 0.5 1\n3 5 6\n"));
        QCOMPARE(fileContents(folder.filePath(QStringLiteral("shot_B.txt"))),
                 QByteArray("1 3 4\n"));
        QCOMPARE(fileContents(folder.filePath(QStringLiteral("shot_.._x.txt"))),
                 QByteArray("1 7 8\n"));
        QCOMPARE(folder.entryList(QDir::Files).size(), 4);
    }

    void nukeCameraTrackerColumns()
    {
        TrackTable t =
            table({{"A", 7, 123.456, 45}, {"A", 100000, 1, 2}, {"B", 8, 1234567.25, -3}});
        QString path = dir.filePath(QStringLiteral("camera.txt"));
        QVERIFY(save(t, "Nuke CameraTracker File (*.*)", path).ok());
        QCOMPARE(fileContents(path),
                 QByteArray("TrackName A\n"
                            "   Frame             X             Y   Correlation\n"
                            "    7.00      123.456       45         1.000 \n"
                            "100000.00       1       2         1.000 \n"
                            "\nTrackName B\n"
                            "   Frame             X             Y   Correlation\n"
                            "    8.00   1234567.25       -3         1.000 \n"));
    }

    void refusals()
    {
        TrackTable t = table({{"A", 1, 1, 1}});
        QCOMPARE(
            save(TrackTable(), "3DE v4 Track File (*.txt)", dir.filePath(QStringLiteral("e.txt")))
                .error,
            QStringLiteral("There is nothing to export: the table has no rows."));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("e.txt"))));
        if (const Format *unwritten = formatWithoutWriter()) {
            ExportResult r =
                save(t, unwritten->treeExportFilter, dir.filePath(QStringLiteral("b.txt")));
            QCOMPARE(r.error,
                     QStringLiteral(
                         "Corvane reads %1 files but does not write them: choose another target.")
                         .arg(QLatin1String(unwritten->name)));
            QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("b.txt"))));
        }
        QVERIFY(!save(t, "Text (*.txt)", dir.filePath(QStringLiteral("t.txt"))).ok());
    }

    void unwritableTargetsAreReported()
    {
        TrackTable t = table({{"A", 1, 1, 1}});
        ExportResult r = save(t, "3DE v4 Track File (*.txt)",
                              dir.filePath(QStringLiteral("no/such/folder/x.txt")));
        QVERIFY(!r.ok());
        QVERIFY(r.error.startsWith(QLatin1String("Could not write \"")));
        QVERIFY(r.error.contains(QLatin1String("x.txt")));

        // A per-track file that cannot be written (a folder stands in its place).
        QDir folder(dir.filePath(QStringLiteral("blocked")));
        folder.mkpath(QStringLiteral("shot_A.txt"));
        r = save(t, "Nuke Tracker File (*.txt)", folder.filePath(QStringLiteral("shot.txt")));
        QVERIFY(!r.ok());
        QVERIFY(r.error.contains(QLatin1String("shot_A.txt")));

        // Nothing of the save lands, and no temporary file is left behind.
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Large saves go to disk in pieces while they are made: the files hold
    // exactly the bytes made in memory, for every format; a save that fails
    // after pieces went out leaves the old target and no temporary behind.
    void largeSavesWrittenInPieces()
    {
        TrackSet set;
        for (int s = 1; s <= 3; ++s)
            for (int v = 1; v <= 10; ++v)
                for (int f = 1; f <= 1000; ++f)
                    set.append(shapeVertexName(s, v), f, 10.0 * s + f * 0.125,
                               900.0 - v - f * 0.25);
        TrackTable t;
        fillRows(t, set, prepareFill(t, set.count, false), QString());
        QDir folder(dir.filePath(QStringLiteral("large")));
        for (const Format &format : formats()) {
            // A corner pin takes four tracks (its saves: tst_sceneexports).
            if (!format.writer || format.cornerPin) continue;
            const QString target =
                folder.filePath(QStringLiteral("out") + QLatin1String(format.trackFileExtension));
            ExportParams p = params(QLatin1String(format.treeExportFilter), target);
            p.heldBytes = 64 << 10;
            p.inMemory = true;
            const ExportResult inMemory = exportTable(t, p);
            QVERIFY2(inMemory.ok(), format.id);
            p.inMemory = false;
            QDir().mkpath(folder.path());
            const ExportResult onDisk = exportTable(t, p);
            QVERIFY2(onDisk.ok(), qPrintable(onDisk.error));
            for (const auto &[path, bytes] : inMemory.contents)
                QVERIFY2(fileContents(path) == bytes, format.id);
            folder.removeRecursively();
        }

        // One large track file goes out in pieces; the next cannot be written.
        for (int r = 0; r < t.rowCount(); ++r)
            t.setItemText(r, NameColumn,
                          r + 1 < t.rowCount() ? QStringLiteral("Big") : QStringLiteral("C"));
        folder.mkpath(QStringLiteral("shot_C.txt"));
        writeFile(folder.filePath(QStringLiteral("shot_Big.txt")), "old\n");
        ExportParams p =
            params(QStringLiteral("Nuke Tracker File (*.txt)"), folder.filePath("shot.txt"));
        p.heldBytes = 64 << 10;
        ExportResult r = exportTable(t, p);
        QVERIFY(r.error.contains(QLatin1String("shot_C.txt")));
        QCOMPARE(fileContents(folder.filePath(QStringLiteral("shot_Big.txt"))),
                 QByteArray("old\n"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList({"shot_Big.txt"}));
    }

    // A cancelled save writes nothing, in any format (its writer stops at
    // its first piece); one that runs tells how far it is, to the end.
    void cancelledSavesWriteNothing()
    {
        TrackSet set;
        for (int s = 1; s <= 40; ++s)
            for (int f = 1; f <= 300; ++f)
                set.append(shapeVertexName(s, 1), f, s + f * 0.5, 900.0 - f);
        TrackTable t;
        fillRows(t, set, prepareFill(t, set.count, false), QString());
        QDir folder(dir.filePath(QStringLiteral("cancelled")));
        for (const Format &format : formats()) {
            // A corner pin takes four tracks (its saves: tst_sceneexports).
            if (!format.writer || format.cornerPin) continue;
            for (bool cancelled : {true, false}) {
                QVERIFY(folder.mkpath(folder.path()));
                std::atomic<bool> cancel{cancelled};
                std::atomic<qint64> progress{0};
                ExportParams p = params(QLatin1String(format.treeExportFilter),
                                        folder.filePath(QStringLiteral("out")) +
                                            QLatin1String(format.trackFileExtension));
                p.heldBytes = 4096;
                p.cancel = &cancel;
                p.progress = &progress;
                const ExportResult r = exportTable(t, p);
                if (cancelled) {
                    QCOMPARE(r.error, QString::fromLatin1(saveCancelledMessage));
                    QVERIFY2(folder.entryList(QDir::Files | QDir::Hidden).isEmpty(), format.id);
                } else {
                    QVERIFY2(r.ok(), qPrintable(r.error));
                    QCOMPARE(progress.load(), qint64(1000));
                    QVERIFY(!folder.entryList(QDir::Files).isEmpty());
                }
                folder.removeRecursively();
            }
        }
    }

    // What a large save wrote long before its end (and gave up from the
    // system's cache) is in the file, byte for byte, in order.
    void largeFilesKeepEveryPiece()
    {
        const QString target = dir.filePath(QStringLiteral("pieces.bin"));
        QCryptographicHash made(QCryptographicHash::Sha1);
        {
            SaveTransaction save;
            QByteArray &bytes = save.file(target);
            for (int piece = 0; piece < 48; ++piece) {
                bytes = QByteArray(1 << 20, char('a' + piece % 26));
                bytes += QByteArray::number(piece) + '\n';
                made.addData(bytes);
                save.spill(target);
            }
            bytes = "end\n";
            made.addData(bytes);
            QStringList written;
            QCOMPARE(save.commit(written), QString());
        }
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), qint64(48) * (1 << 20) + 48 * 2 + 38 + 4);
        QCryptographicHash onDisk(QCryptographicHash::Sha1);
        QVERIFY(onDisk.addData(&file));
        QCOMPARE(onDisk.result(), made.result());
    }

    // Apply, the export, reading and detection split their work between
    // threads: every format's bytes, and what is read and detected from them
    // (whole, with a bad number, a line missing or cut short), are those of
    // the work done in one piece.
    void threadsChangeNothing()
    {
        TrackSet set;
        for (int t = 0; t < 14; ++t)
            for (int f = 1; f <= 10000; ++f)
                set.append(t % 2 ? shapeVertexName(t, 1) : QStringLiteral("T%1").arg(t), f - 500,
                           f * 0.731 + t, 900 - f * 0.417);
        TrackTable source;
        fillRows(source, set, prepareFill(source, set.count, false),
                 QStringLiteral("3DE v4 Track File (*.txt)"));
        for (const Format &format : formats()) {
            QList<QList<std::pair<QString, QByteArray>>> outputs;
            for (int threads : {1, 4}) {
                setWorkerThreads(threads);
                TrackTable t = source.clone();
                ApplyParams a;
                a.plateWidth = a.x1 = 1920;
                a.plateHeight = a.y1 = 1080;
                a.targetFilter = QLatin1String(format.treeExportFilter);
                a.importFirst = -499;
                a.exportFirst = 1001;
                QVERIFY(applySettings(t, a).error.isEmpty());
                ExportParams p =
                    params(a.targetFilter, dir.filePath(QStringLiteral("threads/out.txt")));
                p.inMemory = true;
                outputs.append(exportTable(t, p).contents);
            }
            QVERIFY2(outputs[0] == outputs[1], format.id);
            for (const auto &[path, bytes] : outputs[0]) {
                // Small files, and shapes, are read in one piece anyway;
                // scripts for other programs are not read.
                if (format.shapes || !format.read || textPieces(bytes.size()) < 2) continue;
                for (const QByteArray &text : damaged(bytes)) {
                    QList<ReadResult> reads;
                    QList<QList<const Format *>> detected;
                    for (int threads : {1, 4}) {
                        setWorkerThreads(threads);
                        reads.append(readBytes(text, path, format));
                        detected.append(formatsFitting(text));
                    }
                    QVERIFY2(sameReading(reads[0], reads[1]), format.id);
                    QVERIFY2(detected[0] == detected[1], format.id);
                    QVERIFY2(text != bytes || detected[0].contains(&format), format.id);
                }
            }
        }
        setWorkerThreads(0);
    }

    void savesAreAllOrNothing()
    {
        TrackTable t = table({{"A", 1, 1, 1}, {"B", 1, 2, 2}, {"C", 1, 3, 3}});
        QDir folder(dir.filePath(QStringLiteral("atomic")));
        folder.mkpath(QStringLiteral("shot_C.txt")); // the third file cannot be written
        for (const char *old : {"shot.txt", "shot_A.txt", "shot_B.txt"})
            writeFile(folder.filePath(QLatin1String(old)), "old\n");
        ExportResult r = save(t, "Nuke Tracker File (*.txt)", folder.filePath("shot.txt"));
        QVERIFY(r.error.contains(QLatin1String("shot_C.txt")));
        for (const char *old : {"shot.txt", "shot_A.txt", "shot_B.txt"})
            QCOMPARE(fileContents(folder.filePath(QLatin1String(old))), QByteArray("old\n"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 3);
    }

    // A failure at any file of a per-track save, at any stage (writing a
    // file, syncing it where the file system's sync failed, putting the
    // first, a middle or the last one in place) leaves every target as it
    // was, and nothing beside them.
    void failureAtEveryStageChangesNothing()
    {
        TrackTable t = table({{"A", 1, 1, 1}, {"B", 1, 2, 2}, {"C", 1, 3, 3}, {"D", 1, 4, 4}});
        QDir folder(dir.filePath(QStringLiteral("stages")));
        folder.mkpath(QStringLiteral("."));
        const QStringList old{"shot.txt", "shot_A.txt", "shot_C.txt"}; // B and D are new
        using Stage = SaveTransaction::Stage;
        for (auto stage : {Stage::Write, Stage::SyncFile, Stage::PutInPlace})
            for (int failing : {0, 2, 4}) {
                for (const QString &name : old)
                    writeFile(folder.filePath(name), "old " + name.toLatin1());
                SaveTransaction::setFault([&](Stage s, int index) {
                    return (s == stage && index == failing) ||
                           (stage == Stage::SyncFile && s == Stage::SyncAll);
                });
                ExportResult r = save(t, "Nuke Tracker File (*.txt)", folder.filePath("shot.txt"));
                SaveTransaction::setFault({});
                QVERIFY2(r.error.contains(QLatin1String("Input/output error")),
                         qPrintable(r.error));
                QStringList left = folder.entryList(QDir::Files | QDir::Hidden);
                left.sort();
                QVERIFY2(left == QStringList({"shot.txt", "shot_A.txt", "shot_C.txt"}),
                         qPrintable(left.join(QLatin1Char(' ')) + QString::number(failing)));
                for (const QString &name : old)
                    QCOMPARE(fileContents(folder.filePath(name)), "old " + name.toLatin1());
            }
        ExportResult r = save(t, "Nuke Tracker File (*.txt)", folder.filePath("shot.txt"));
        QVERIFY(r.ok());
        QCOMPARE(fileContents(folder.filePath("shot_C.txt")), QByteArray("1 3 3\n"));
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 6); // and the set's record
        QVERIFY(QFile::exists(SaveTransaction::setRecordPath(folder.filePath("shot.txt"))));
    }

    // What a killed save left beside its targets goes with the next save
    // into that folder; a file it had put aside comes back.
    void leftoversOfAKilledSave()
    {
        QDir folder(dir.filePath(QStringLiteral("killed")));
        folder.mkpath(QStringLiteral("."));
        writeFile(folder.filePath(QStringLiteral(".big.txt.corvane-part-abc123")), "half");
        writeFile(folder.filePath(QStringLiteral(".other.txt.corvane-kept-abc123")), "kept");
        TrackTable t = table({{"A", 1, 1, 1}});
        QVERIFY(save(t, "3DE v4 Track File (*.txt)", folder.filePath("big.txt")).ok());
        QStringList left = folder.entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, QStringList({"big.txt", "other.txt"}));
        QCOMPARE(fileContents(folder.filePath("other.txt")), QByteArray("kept"));
    }

    void tracksNeverShareAFile()
    {
        // "a/b" and "a:b" are both "a_b" when made safe; "A" and "a" differ only in case.
        TrackTable t = table({{"a/b", 1, 1, 1}, {"a:b", 2, 2, 2}, {"A", 3, 3, 3}, {"a", 4, 4, 4}});
        QDir folder(dir.filePath(QStringLiteral("unique")));
        folder.mkpath(QStringLiteral("."));
        ExportResult r = save(t, "Nuke Tracker File (*.txt)", folder.filePath("s.txt"));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QStringList files;
        for (const TrackFile &f : r.trackFiles)
            files << QFileInfo(f.path).fileName() + (f.numbered ? QStringLiteral("*") : QString());
        QCOMPARE(files, QStringList({"s_a_b.txt", "s_a_b_2.txt*", "s_A.txt", "s_a_2.txt*"}));
        QCOMPARE(fileContents(folder.filePath("s_a_b_2.txt")), QByteArray("2 2 2\n"));
        QCOMPARE(fileContents(folder.filePath("s_a_2.txt")), QByteArray("4 4 4\n"));
    }

    void inputsAreNeverWritten()
    {
        QDir folder(dir.filePath(QStringLiteral("inputs")));
        QString input = writeFile(folder.filePath("x_T.txt"), "1 2 3\n");
        TrackTable t = table({{"T", 1, 5, 5}});
        ExportParams p;
        p.targetFilter = QStringLiteral("Nuke Tracker File (*.txt)");
        p.targetPath = folder.filePath("x.txt");
        p.inputs = {folder.filePath("../inputs/x_T.txt")}; // the same file by another path
        ExportResult r = exportTable(t, p);
        QVERIFY(r.error.contains(QLatin1String("one of the files the table was read from")));
        QCOMPARE(fileContents(input), QByteArray("1 2 3\n"));
        QVERIFY(!QFile::exists(folder.filePath("x.txt")));
    }

    // The files of a folder and their bytes, hidden ones too.
    static QMap<QString, QByteArray> folderFiles(const QDir &folder)
    {
        QMap<QString, QByteArray> files;
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            files.insert(name, fileContents(folder.filePath(name)));
        return files;
    }

    static TrackTable tracks(int count, double value)
    {
        QList<Row> rows;
        for (int i = 0; i < count; ++i)
            rows.append({QStringLiteral("T%1").arg(i), 1, value + i, value});
        return table(rows);
    }

    // A save killed at any moment of putting its files in place (the
    // child process ends there, as a SIGKILL would end it) leaves the old
    // set for the next run to put back whole, with the files of the old set
    // the new one dropped; a kill after its last file keeps the new set.
    void killedSetsComeBackWhole()
    {
        QDir folder(dir.filePath(QStringLiteral("killedset")));
        folder.mkpath(QStringLiteral("."));
        const QString target = folder.filePath(QStringLiteral("shot.txt"));
        QVERIFY(save(tracks(12, 1), "Nuke Tracker File (*.txt)", target).ok());
        const QMap<QString, QByteArray> old = folderFiles(folder);
        QVERIFY(old.contains(QStringLiteral("shot_T11.txt")));
        QVERIFY(save(tracks(8, 50), "Nuke Tracker File (*.txt)", target).ok());
        const QMap<QString, QByteArray> fresh = folderFiles(folder);
        QVERIFY(!fresh.contains(QStringLiteral("shot_T11.txt"))); // the old set's extra files go
        for (int killAt : {0, 1, 4, 8, 9, 100}) {                 // 9: the set's record; 100: none
            writeFiles(folder, old);
            const pid_t child = ::fork();
            if (child == 0) {
                SaveTransaction::setFault([killAt](SaveTransaction::Stage stage, int index) {
                    if (stage == SaveTransaction::Stage::PutInPlace && index == killAt) ::_exit(9);
                    return false;
                });
                ::_exit(save(tracks(8, 50), "Nuke Tracker File (*.txt)", target).ok() ? 0 : 1);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            const int code = WEXITSTATUS(status);
            QCOMPARE(code, killAt == 100 ? 0 : 9);
            const QStringList said = SaveTransaction::recoverFolders({target});
            QCOMPARE(said.size(), code == 9 ? 1 : 0);
            if (code == 9)
                QVERIFY2(said.first().contains(QLatin1String("stopped")), qPrintable(said.first()));
            QCOMPARE(folderFiles(folder), code == 9 ? old : fresh);
        }
    }

    // A save writes every file, then makes them durable together: one sync
    // of their file system (not one a file, nor one a folder: a track's
    // file reached through a link into another folder is on the same one),
    // with every temporary file written and each folder's journal in place
    // by then; only after it does any file go in place.
    void oneSyncBeforeAnyFileGoesInPlace()
    {
        using Stage = SaveTransaction::Stage;
        QDir folder(dir.filePath(QStringLiteral("onesync")));
        folder.mkpath(QStringLiteral("other"));
        const QString linked = writeFile(folder.filePath(QStringLiteral("other/b.txt")), "old");
        QVERIFY(QFile::link(linked, folder.filePath(QStringLiteral("shot_T1.txt"))));
        QList<Stage> order;
        QList<int> partsAtSync;
        bool recordsAtSync = false;
        auto isSync = [](Stage stage) {
            return stage == Stage::SyncAll || stage == Stage::SyncFile;
        };
        SaveTransaction::setFault([&](Stage stage, int) {
            if (isSync(stage) && std::none_of(order.cbegin(), order.cend(), isSync)) {
                for (const QString &path :
                     {folder.path(), folder.filePath(QStringLiteral("other"))})
                    partsAtSync << QDir(path)
                                       .entryList({QStringLiteral("*.corvane-part-*")},
                                                  QDir::Files | QDir::Hidden)
                                       .size();
                recordsAtSync =
                    QFile::exists(folder.filePath(QLatin1String(SaveJournal::recordName))) &&
                    QFile::exists(folder.filePath(QStringLiteral("other/") +
                                                  QLatin1String(SaveJournal::recordName)));
            }
            order.append(stage);
            return false;
        });
        const ExportResult r = save(tracks(40, 1), "Nuke Tracker File (*.txt)",
                                    folder.filePath(QStringLiteral("shot.txt")));
        SaveTransaction::setFault({});
        QVERIFY2(r.ok(), qPrintable(r.error));
        // shot.txt, forty tracks and the set's record.
        QCOMPARE(order.count(Stage::Write), 42);
#if defined(__linux__)
        QCOMPARE(order.count(Stage::SyncAll), 1);
        QCOMPARE(order.count(Stage::SyncFile), 0);
#else
        QCOMPARE(order.count(Stage::SyncFile), 42);
#endif
        const qsizetype firstSync =
            std::find_if(order.cbegin(), order.cend(), isSync) - order.cbegin();
        QVERIFY(order.lastIndexOf(Stage::Write) < firstSync);
        QVERIFY(order.indexOf(Stage::PutInPlace) > firstSync);
        QCOMPARE(order.count(Stage::PutInPlace), 42);
        QCOMPARE(partsAtSync, QList<int>({41, 1}));
        QVERIFY(recordsAtSync);
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("shot_T1.txt"))).isSymLink());
        QCOMPARE(fileContents(linked), QByteArray("1 2 1\n"));
        QCOMPARE(
            QDir(folder.filePath(QStringLiteral("other"))).entryList(QDir::Files | QDir::Hidden),
            QStringList({"b.txt"}));
    }

    // Where the file system's sync fails, each file is synced on its own
    // once all are written, and the save ends as it would have: the same
    // files, bytes and permissions, those that keep the owner from reading
    // the file too.
    void syncFallsBackToEachFile()
    {
        using Stage = SaveTransaction::Stage;
        QList<QMap<QString, QByteArray>> saved;
        QList<Stage> order;
        QList<int> ownSyncs;
        for (bool failing : {false, true}) {
            QDir folder(
                dir.filePath(failing ? QStringLiteral("fallback") : QStringLiteral("synced")));
            folder.mkpath(QStringLiteral("."));
            const QString target = folder.filePath(QStringLiteral("shot.txt"));
            QVERIFY(save(tracks(20, 1), "Nuke Tracker File (*.txt)", target).ok());
            const QByteArray unreadable = QFile::encodeName(folder.filePath("shot_T1.txt"));
            QCOMPARE(::chmod(unreadable.constData(), 0200), 0);
            QCOMPARE(::chmod(QFile::encodeName(folder.filePath("shot_T2.txt")).constData(), 0640),
                     0);
            SaveTransaction::setFault([&](Stage stage, int index) {
                if (!failing) return false;
                order.append(stage);
                if (stage == Stage::SyncFile) ownSyncs.append(index);
                return stage == Stage::SyncAll;
            });
            const ExportResult r = save(tracks(20, 7), "Nuke Tracker File (*.txt)", target);
            SaveTransaction::setFault({});
            QVERIFY2(r.ok(), qPrintable(r.error));
            struct stat st;
            QCOMPARE(::stat(unreadable.constData(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0200));
            QCOMPARE(::stat(QFile::encodeName(folder.filePath("shot_T2.txt")).constData(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0640));
            ::chmod(unreadable.constData(), 0600);
            saved.append(folderFiles(folder));
        }
        QCOMPARE(saved[1], saved[0]);
        std::sort(ownSyncs.begin(), ownSyncs.end());
        QList<int> each(22); // shot.txt, twenty tracks, the record
        std::iota(each.begin(), each.end(), 0);
        QCOMPARE(ownSyncs, each);
        QVERIFY(order.lastIndexOf(Stage::Write) < order.indexOf(Stage::SyncFile));
        QVERIFY(order.lastIndexOf(Stage::SyncFile) < order.indexOf(Stage::PutInPlace));
    }

    // A save of a few files syncs them, not their whole file system, which
    // would wait for every other program's data on the disk.
    void aFewFilesSyncTheirOwn()
    {
        using Stage = SaveTransaction::Stage;
        QDir folder(dir.filePath(QStringLiteral("few")));
        folder.mkpath(QStringLiteral("."));
        QList<Stage> order;
        SaveTransaction::setFault([&](Stage stage, int) {
            order.append(stage);
            return false;
        });
        const ExportResult r = save(tracks(4, 3), "Nuke Tracker File (*.txt)",
                                    folder.filePath(QStringLiteral("shot.txt")));
        SaveTransaction::setFault({});
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(order.count(Stage::SyncAll), 0);
        QCOMPARE(order.count(Stage::SyncFile), 6); // shot.txt, four tracks, the record
        QVERIFY(order.lastIndexOf(Stage::Write) < order.indexOf(Stage::SyncFile));
        QVERIFY(order.lastIndexOf(Stage::SyncFile) < order.indexOf(Stage::PutInPlace));
    }

    static void writeFiles(const QDir &folder, const QMap<QString, QByteArray> &files)
    {
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            QFile::remove(folder.filePath(name));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeFile(folder.filePath(it.key()), it.value());
    }

    // A set's save removes the files its record names that the new set does
    // not have, and no others; a failed save keeps them all.
    void staleFilesOfTheOldSet()
    {
        QDir folder(dir.filePath(QStringLiteral("stale")));
        folder.mkpath(QStringLiteral("."));
        const QString target = folder.filePath(QStringLiteral("shot.txt"));
        QVERIFY(save(tracks(3, 1), "Nuke Tracker File (*.txt)", target).ok());
        writeFile(folder.filePath(QStringLiteral("shot_mine.txt")), "the user's");
        // A failure puts nothing aside for good.
        SaveTransaction::setFault([](SaveTransaction::Stage stage, int index) {
            return stage == SaveTransaction::Stage::PutInPlace && index == 1;
        });
        QVERIFY(!save(tracks(1, 9), "Nuke Tracker File (*.txt)", target).ok());
        SaveTransaction::setFault({});
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("shot_T2.txt"))));
        QVERIFY(save(tracks(1, 9), "Nuke Tracker File (*.txt)", target).ok());
        QStringList left = folder.entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, QStringList({"shot.txt", "shot_T0.txt", "shot_mine.txt"}));
    }

    // A stop (a signal, Ctrl+C in the module) while the files go in place
    // gives every file back and says so.
    void stoppedSavesGiveEveryFileBack()
    {
        QDir folder(dir.filePath(QStringLiteral("stopped")));
        folder.mkpath(QStringLiteral("."));
        const QString target = folder.filePath(QStringLiteral("shot.txt"));
        QVERIFY(save(tracks(5, 1), "Nuke Tracker File (*.txt)", target).ok());
        const QMap<QString, QByteArray> old = folderFiles(folder);
        SaveTransaction::setFault([](SaveTransaction::Stage stage, int index) {
            if (stage == SaveTransaction::Stage::PutInPlace && index == 1) requestStop(SIGINT);
            return false;
        });
        ExportResult r = save(tracks(2, 7), "Nuke Tracker File (*.txt)", target);
        SaveTransaction::setFault({});
        clearStopRequest();
        QCOMPARE(r.error, QString::fromLatin1(stoppedMessage));
        QCOMPARE(folderFiles(folder), old);
    }

    // Paths in messages are the caller's; a FIFO nobody reads is refused
    // rather than waited on for ever; another user's write-protected file
    // is replaced only when the caller says so.
    void awkwardTargets()
    {
        QDir folder(dir.filePath(QStringLiteral("awkward")));
        folder.mkpath(QStringLiteral("sub"));
        const QString given = folder.filePath(QStringLiteral("sub/../given.txt"));
        SaveTransaction::setFault([](SaveTransaction::Stage stage, int) {
            return stage == SaveTransaction::Stage::Write;
        });
        ExportResult r = save(tracks(1, 1), "3DE v4 Track File (*.txt)", given);
        SaveTransaction::setFault({});
        QVERIFY2(r.error.contains(QDir::toNativeSeparators(given)), qPrintable(r.error));

        const QString fifo = folder.filePath(QStringLiteral("nobody-reads"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        r = save(tracks(1, 1), "3DE v4 Track File (*.txt)", fifo);
        QVERIFY2(r.error.contains(QLatin1String("no program is reading from it")),
                 qPrintable(r.error));

        const QString theirs = writeFile(folder.filePath(QStringLiteral("theirs.txt")), "theirs");
        if (::geteuid() != 0 || ::chown(QFile::encodeName(theirs).constData(), 65534, 65534) != 0)
            QSKIP("changing a file's owner needs root");
        ::chmod(QFile::encodeName(theirs).constData(), 0444);
        r = save(tracks(1, 1), "3DE v4 Track File (*.txt)", theirs);
        QVERIFY2(r.error.contains(QLatin1String("write-protected")), qPrintable(r.error));
        QCOMPARE(r.writeProtected, theirs);
        QCOMPARE(fileContents(theirs), QByteArray("theirs"));
        ExportParams p = params(QStringLiteral("3DE v4 Track File (*.txt)"), theirs);
        p.replaceProtected = true;
        QVERIFY(exportTable(tracks(1, 1), p).ok());
        QVERIFY(fileContents(theirs).startsWith("1\nT0\n"));
    }

    void specialFilesAndLinks()
    {
        TrackTable t = table({{"A", 1, 1, 1}});
        // A FIFO is written directly, as a reader waits on it.
        QString fifo = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QByteArray got;
        std::thread reader([&] {
            QFile f(fifo);
            if (f.open(QIODevice::ReadOnly)) got = f.readAll();
        });
        ExportResult r = save(t, "3DE v4 Track File (*.txt)", fifo);
        reader.join();
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(got, QByteArray("1\nA\n0\n1\n1 1.000000 1.000000\n"));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());

        // A symbolic link is followed: its target is replaced, the link stays.
        QString real = writeFile(dir.filePath(QStringLiteral("real.txt")), "old");
        QString link = dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(real, link));
        QVERIFY(save(t, "3DE v4 Track File (*.txt)", link).ok());
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(fileContents(real).startsWith("1\nA\n"));
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
