// SPDX-License-Identifier: Apache-2.0
// Bad input: every file that cannot be read right is named with its reason,
// never converted silently.
#include "cliprocess.h"
#include "formats/kit/shapes.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/dispatch.h"
#include "import/errorkind.h"
#include "import/filetext.h"
#include "import/recognise.h"
#include "settings/apply.h"
#include "table/tracktable.h"
#include "testdata.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace corvane;

class TestHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");

    QString file(const char *name, const QByteArray &content)
    {
        return writeFile(dir.filePath(QLatin1String(name)), content);
    }

    // A file of the format: its writer's, from a few tracks (or shapes),
    // else the first real sample of the program that reads whole.
    QString wholeFile(const Format &format)
    {
        const QString id = QLatin1String(format.id);
        if (format.writer) {
            QList<TestRow> rows;
            for (int t = 1; t <= 3; ++t)
                for (int v = 1; v <= (format.shapes ? 4 : 1); ++v)
                    for (int f = 1; f <= (format.shapes ? 4 : 8); ++f)
                        rows.append({format.shapes ? shapeVertexName(t, v)
                                                   : QStringLiteral("Track_%1").arg(t),
                                     f * 3 + t, 100.25 * t + f + v, 200.5 + t * v * f});
            const QString path =
                dir.filePath(id + QStringLiteral("/whole.") + format.fileExtension());
            QDir().mkpath(dir.filePath(id));
            ExportResult saved = saveAs(importedTable(rows), format.id, path);
            if (!saved.error.isEmpty()) return {};
            return format.perTrack() ? saved.trackFiles.value(0).path : path;
        }
        QDir samples(sharedSample(id));
        for (const QString &name : samples.entryList(QDir::Files, QDir::Name)) {
            const QString path = samples.filePath(name);
            if (dispatch(path, QLatin1String(format.importFilter)).set.count > 0) return path;
        }
        return {};
    }

    // Where a cut lands: inside a line of some length after the first, a
    // third of the way along, so that a row there has lost whole fields (a
    // number cut in its digits, or an optional last field, cannot be told
    // from a shorter one; nor can a first line, which for Nuke's "x y"
    // tracks is a whole file).
    static qsizetype cutInsideLine(const QByteArray &data, qsizetype at)
    {
        const qsizetype second = data.indexOf('\n') + 1;
        for (qsizetype start = std::max(second, data.lastIndexOf('\n', at) + 1);
             second > 0 && start < data.size();) {
            qsizetype end = data.indexOf('\n', start);
            if (end < 0) end = data.size();
            const QByteArray line = data.mid(start, end - start).trimmed();
            if (line.size() >= 3) {
                const qsizetype lead = data.indexOf(line.at(0), start) - start;
                return start + lead + std::max<qsizetype>(1, line.size() / 3);
            }
            start = end + 1;
        }
        return -1;
    }

private slots:
    void badNumbersNameFileLineAndField()
    {
        QString path = file("bad.txt", "1\nA\n0\n2\n1 1 1\n2 12,5 1\n");
        QCOMPARE(dispatch(path, v4).error,
                 path +
                     QStringLiteral(", line 6: the X coordinate \"12,5\" is not a finite number."));
        CliRun run = runConverter({"--to", "nuke-tracker", "--plate", "10x10", "-o",
                                   dir.filePath(QStringLiteral("bad-out.txt")), path});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("line 6")));
    }

    // A file cut short or rewritten while it is read is refused, never read
    // past its end (the bytes are the process's own, not a mapping).
    void filesChangedWhileRead()
    {
        QByteArray big = "200000\n";
        for (int t = 0; t < 200000; ++t)
            big += "T" + QByteArray::number(t) + "\n0\n1\n1 100.5 200.25\n";
        const QString path = file("changing.txt", big);
        FileText cut = loadTrackFile(path, MaxLineLength, [&] { QFile(path).resize(100); });
        QVERIFY2(cut.error.contains(QLatin1String("changed while it was read")),
                 qPrintable(cut.error));
        writeFile(path, big);
        FileText written = loadTrackFile(path, MaxLineLength, [&] {
            QFile f(path);
            f.open(QIODevice::ReadWrite);
            f.seek(10);
            f.write("9");
        });
        QVERIFY(written.error.contains(QLatin1String("changed while it was read")));
        writeFile(path, big);
        FileText whole = loadTrackFile(path);
        QVERIFY(whole.ok());
        QCOMPARE(whole.bytes, big);
    }

    // Only regular files are read: a FIFO would wait for ever, a device
    // (/dev/urandom) would never end.
    void onlyRegularFilesAreRead()
    {
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
        for (const QString &path : {fifo, QStringLiteral("/dev/urandom"), dir.path()}) {
            QElapsedTimer clock;
            clock.start();
            Detection detection = detectFormat(path);
            QVERIFY2(!detection.error.isEmpty(), qPrintable(path));
            QVERIFY(dispatch(path, v4).error == detection.error);
            QVERIFY(clock.elapsed() < 2000);
        }
        QVERIFY(detectFormat(fifo).error.contains(QLatin1String("is not a regular file")));
        CliRun run = runConverter({"--to", "3de4", "--plate", "10x10", fifo});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(detectFormat(fifo).error));
    }

    // A file cut anywhere is refused, or read as cut short, naming the
    // file, wherever its format ends (closing braces, tags or End lines,
    // promised counts, a complete last row).
    void cutFilesAreRefused_data()
    {
        QTest::addColumn<QString>("id");
        for (const Format &f : formats())
            if (f.read) QTest::newRow(f.id) << QString::fromLatin1(f.id);
    }

    void cutFilesAreRefused()
    {
        QFETCH(QString, id);
        const Format &format = *formatById(id);
        const QString whole = wholeFile(format);
        QVERIFY2(!whole.isEmpty(), "no file of the format");
        const QByteArray data = fileContents(whole);
        QVERIFY(dispatch(whole, QLatin1String(format.importFilter)).cutShort.isEmpty());
        QSet<qsizetype> tried;
        for (int k = 1; k <= 10; ++k) {
            const qsizetype at = cutInsideLine(data, data.size() * k / 11);
            if (at < 0 || at >= data.size() || tried.contains(at)) continue;
            tried.insert(at);
            const QString path = file(
                qPrintable(id + QStringLiteral("/cut.") + format.fileExtension()), data.left(at));
            ReadResult read = dispatch(path, QLatin1String(format.importFilter));
            const QString said = read.ok() ? read.cutShort : read.error;
            QVERIFY2(
                said.startsWith(path),
                qPrintable(QStringLiteral("cut at byte %1 of %2 (after \"%5\"): %3 rows, \"%4\"")
                               .arg(at)
                               .arg(data.size())
                               .arg(read.set.count)
                               .arg(said, QString::fromUtf8(data.mid(at - 30, 30))
                                              .replace(QLatin1Char('\n'), QLatin1String("\\n")))));
        }
        QVERIFY(tried.size() >= 5);
    }

    // A reader gives the kind of its error with it, as its words say it:
    // a file cut in a line is "cut-short", a spoiled number "bad-number".
    void readersGiveTheKindOfTheirErrors_data() { cutFilesAreRefused_data(); }

    void readersGiveTheKindOfTheirErrors()
    {
        QFETCH(QString, id);
        const Format &format = *formatById(id);
        const QByteArray data = fileContents(wholeFile(format));
        QList<QByteArray> spoiled;
        for (int k = 1; k <= 10; ++k) {
            const qsizetype at = cutInsideLine(data, data.size() * k / 11);
            if (at > 0 && at < data.size()) spoiled << data.left(at);
            // A letter in the digits of a number further on.
            qsizetype digit = data.indexOf('.', data.size() * k / 11);
            if (digit > 0) spoiled << QByteArray(data).insert(digit, 'x');
        }
        int refused = 0;
        for (const QByteArray &text : std::as_const(spoiled)) {
            const QString path =
                file(qPrintable(id + QStringLiteral("/spoiled.") + format.fileExtension()), text);
            const ReadResult read = dispatch(path, QLatin1String(format.importFilter));
            if (read.ok()) continue;
            ++refused;
            const ErrorKind said = readErrorKind(read.error, path, true);
            if (said == ErrorKind::CutShort || said == ErrorKind::BadNumber)
                QVERIFY2(read.kind == said, qPrintable(read.error));
            QVERIFY2(read.kind != ErrorKind::NotFound && read.kind != ErrorKind::Settings &&
                         read.kind != ErrorKind::CannotWrite,
                     qPrintable(read.error));
        }
        QVERIFY(refused > 0);
    }

    void cutShortFilesAreNamed()
    {
        QByteArray text = "1\nA\n0\n1000\n";
        for (int f = 1; f <= 969; ++f)
            text += QByteArray::number(f) + " 870.1 871\n";
        QString path = file("cut.txt", text);
        ReadResult read = dispatch(path, v4);
        QVERIFY(read.ok());
        QCOMPARE(read.cutShort,
                 path + QStringLiteral(" is cut short: track \"A\" promises 1000 rows, but the "
                                       "file ends after 969."));
        QCOMPARE(read.set.count, 969);
        CliRun run = runConverter({"--to", "3de4", "--plate", "10x10", "-o",
                                   dir.filePath(QStringLiteral("cut-out.txt")), path});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("cut short")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("cut-out.txt"))));
    }

    // Shifting frames and converting values never overflow silently.
    void applyRefusesValuesOutOfRange()
    {
        TrackTable t;
        t.setColumnCount(TrackColumnCount);
        t.setRowCount(2);
        quint16 source = t.internSource(v4);
        t.setImportedRow(0, t.internName(QStringLiteral("A")), 1, 5, 5, source);
        t.setImportedRow(1, t.internName(QStringLiteral("A")), 999999999, 5, 5, source);
        ApplyParams p;
        p.plateWidth = p.x1 = 1920;
        p.plateHeight = p.y1 = 1080;
        p.targetFilter = v4;
        p.exportFirst = 999999;
        p.importFirst = -999999;
        QVERIFY(applySettings(t, p).error.startsWith(QLatin1String("Row 2: frame 999999999")));
        QCOMPARE(t.frame(0), 1); // nothing changed
        p.exportFirst = p.importFirst = 0;
        t.setImportedRow(1, t.internName(QStringLiteral("A")), 2, 1e308, 5, source);
        p.x1 = 1000000;
        // A huge value says what it is and what is wrong, in %g form.
        QCOMPARE(applySettings(t, p).error,
                 QStringLiteral("Row 2: 1e+308, 5 converts to inf, 5: the converted value is "
                                "not a finite number; check the values, the plate and the target "
                                "window."));
        QCOMPARE(t.coordinate(0, XColumn), 5.0);
    }

    void textEncodings()
    {
        // A UTF-8 byte-order mark is skipped, for recognition and detection too.
        QString bom = file("bom.txt", "\xEF\xBB\xBF"
                                      "1\nA\n0\n1\n1 2 3\n");
        QCOMPARE(dispatch(bom, v4).set.count, 1);
        QCOMPARE(firstLine(bom), QStringLiteral("1"));
        QCOMPARE(detectFormat(bom).candidates.size(), 1);
        // UTF-16 with its mark is decoded.
        QString text = QStringLiteral("1\r\nPunkt\u00e9\r\n0\r\n1\r\n4 5 6\r\n");
        QByteArray utf16("\xFF\xFE", 2);
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        ReadResult read = dispatch(file("utf16.txt", utf16), v4);
        QCOMPARE(read.set.names.value(0), QStringLiteral("Punkt\u00e9"));
        QCOMPARE(read.set.x.at(0), 5.0);
        // NUL bytes outside such an encoding: not a track file.
        QVERIFY(dispatch(file("nul.txt", QByteArray("1\nA\0B\n0\n1\n1 2 3\n", 16)), v4)
                    .error.contains(QLatin1String("NUL bytes")));
        QVERIFY(dispatch(file("nul-late.txt", QByteArray("1\n").repeated(2 << 20) + '\0'), v4)
                    .error.contains(QLatin1String("NUL bytes")));
        // A byte that is not UTF-8 reads as Latin-1, not as a replacement character.
        QCOMPARE(dispatch(file("latin1.txt", "1\nT\xfcr\n0\n1\n1 2 3\n"), v4).set.names.value(0),
                 QStringLiteral("T\u00fcr"));
    }

    void nothingToConvertIsAnInputError()
    {
        CliRun run = runConverter({"--to", "3de4", "--from", "3de4", "--plate", "10x10",
                                   file("nothing.txt", "just words\n")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("no track rows found")));
        // An empty file is called empty, with or without its format named.
        for (bool named : {true, false}) {
            QStringList args{"--to", "3de4", "--plate", "10x10", file("empty.txt", "")};
            if (named) args = QStringList{"--from", "3de4"} + args;
            run = runConverter(args);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QLatin1String("empty.txt: is empty, so it holds no tracks.")),
                     qPrintable(run.err));
        }
    }

    void endlessLinesAreRefusedQuickly()
    {
        QString path = file("long.txt", QByteArray(50 << 20, '1'));
        QElapsedTimer clock;
        clock.start();
        // The line rules out the chosen format (a script may hold such lines).
        QVERIFY(dispatch(path, v4).error.endsWith(
            QLatin1String("has a line longer than 1 MB, so it is not a 3D Equalizer v4 file.")));
        QVERIFY(detectFormat(path).candidates.isEmpty());
        qDebug("refused in %lld ms", clock.elapsed());
        // The limit is exact, wherever the line stands.
        const QByteArray shortLines = QByteArray("12\n").repeated(700);
        for (bool last : {false, true})
            for (int over : {0, 1}) {
                QByteArray text = shortLines + QByteArray(1000 + over, 'x');
                if (!last) text += "\n" + shortLines;
                QCOMPARE(hasLongLine(text, 1000), over == 1);
            }
    }

    // A signal during a long read ends the run with the shell's status for
    // it, and the output that was there stays as it was.
    void signalsDuringALongRead()
    {
        QByteArray text = "1\nA\n0\n3000000\n";
        text.reserve(3000000 * 20);
        for (int f = 1; f <= 3000000; ++f)
            text += QByteArray::number(f) + " 1.5 2.5\n";
        const QString input = file("signalled.txt", text);
        const QString output = file("signalled.out", "as it was");
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            QProcess converter;
            converter.start(QStringLiteral(CORVANE_CONVERT),
                            {"--to", "nuke-tracker", "--plate", "10x10", "-o", output, input});
            QVERIFY(converter.waitForStarted());
            QTest::qWait(150);
            // A converter that is done has no process id: kill(0) would
            // signal the whole process group, ctest with it.
            const qint64 pid = converter.processId();
            QVERIFY2(pid > 0 && converter.state() == QProcess::Running, "done before the signal");
            ::kill(pid_t(pid), signal);
            QVERIFY(converter.waitForFinished(60000));
            QCOMPARE(converter.exitStatus(), QProcess::NormalExit);
            QCOMPARE(converter.exitCode(), 128 + signal);
            QCOMPARE(fileContents(output), QByteArray("as it was"));
        }
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
