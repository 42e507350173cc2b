// SPDX-License-Identifier: Apache-2.0
#include "cliprocess.h"
#include "testdata.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// corvane-convert, run as a pipeline would run it.
class TestConvert : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QByteArray worked =
        "2\nTrack_0001\n0\n2\n1 100.500000 200.250000\n2 101.000000 201.000000\n"
        "corner\n0\n1\n7 50.000000 60.000000\n";

    QString file(const QString &name, const QByteArray &content)
    {
        return writeFile(dir.filePath(name), content);
    }

private slots:
    void helpVersionAndFormats()
    {
        CliRun run = runConverter({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("--to <FORMAT>")));
        QVERIFY(run.out.contains(QLatin1String("Exit status")));
        run = runConverter({QStringLiteral("--version")});
        QCOMPARE(run.out.trimmed(), QStringLiteral("corvane-convert 1.54"));
        run = runConverter({QStringLiteral("--list-formats")});
        QCOMPARE(run.exitCode, 0);
        QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 31);
        QVERIFY(lines.first().startsWith(QLatin1String("3de4 ")));
        QVERIFY(lines.last().startsWith(QLatin1String("uvtrack ")));
        QVERIFY(lines.first().contains(QLatin1String("read/write")));
        QVERIFY(run.out.contains(QLatin1String("combustion-gmask")));
        // --help-all is --help (there are no generic options to add).
        run = runConverter({QStringLiteral("--help-all")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("--to <FORMAT>")));
        // Format ids in any case.
        QTemporaryDir dir;
        run = runConverter({QStringLiteral("--to"), QStringLiteral("3DE4"),
                            QStringLiteral("--from"), QStringLiteral("3De4"),
                            QStringLiteral("--plate"), QStringLiteral("10x10"),
                            QStringLiteral("-o"), dir.filePath(QStringLiteral("cased.txt")),
                            samplePath("3de_export_cube.txt")});
        QCOMPARE(run.exitCode, 0);
        // -o with a folder and one input writes into the folder, under the input's name.
        run =
            runConverter({QStringLiteral("--to"), QStringLiteral("3de4"), QStringLiteral("--plate"),
                          QStringLiteral("10x10"), QStringLiteral("-o"), dir.path() + '/',
                          samplePath("3de_export_cube.txt")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("3de_export_cube.txt"))));
        run = runConverter({QStringLiteral("--to"), QStringLiteral("3de4"),
                            QStringLiteral("--plate"), QStringLiteral("10x10"),
                            QStringLiteral("-o"), dir.filePath(QStringLiteral("missing/")),
                            samplePath("3de_export_cube.txt")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("there is no such folder")), qPrintable(run.err));
    }

    // Every error of --json carries its kind, from one short list.
    void errorKindsForMachines()
    {
        QTemporaryDir dir;
        auto kindOf = [&](const QStringList &args) {
            const CliRun run = runConverter(QStringList{QStringLiteral("--json")} + args);
            const QJsonObject error = QJsonDocument::fromJson(run.out.toUtf8())
                                          .object()
                                          .value(QStringLiteral("error"))
                                          .toObject();
            return error.value(QStringLiteral("kind")).toString();
        };
        auto write = [&](const char *name, const QByteArray &bytes) {
            QFile file(dir.filePath(QLatin1String(name)));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return file.fileName();
        };
        const QStringList to{QStringLiteral("--to"),    QStringLiteral("3de4"),
                             QStringLiteral("--plate"), QStringLiteral("10x10"),
                             QStringLiteral("-o"),      dir.filePath(QStringLiteral("out.txt"))};
        QCOMPARE(kindOf(to + QStringList{dir.filePath(QStringLiteral("missing.txt"))}),
                 QStringLiteral("not-found"));
        QCOMPARE(kindOf(to + QStringList{write("junk.txt", "nothing of tracks\n")}),
                 QStringLiteral("not-a-track-file"));
        const QStringList from{QStringLiteral("--from"), QStringLiteral("3de4")};
        QCOMPARE(kindOf(from + to + QStringList{write("cut.txt", "1\nA\n0\n3\n1 1 1\n")}),
                 QStringLiteral("cut-short"));
        QCOMPARE(kindOf(from + to + QStringList{write("bad.txt", "1\nA\n0\n1\n1 x 1\n")}),
                 QStringLiteral("bad-number"));
        QCOMPARE(kindOf({QStringLiteral("--to"), QStringLiteral("nuke-script"),
                         samplePath("3de_export_cube.txt")}),
                 QStringLiteral("settings")); // no plate
        QCOMPARE(kindOf(QStringList{QStringLiteral("--to"), QStringLiteral("3de4"),
                                    QStringLiteral("--plate"), QStringLiteral("10x10"),
                                    QStringLiteral("-o"),
                                    dir.filePath(QStringLiteral("no/such/folder/out.txt")),
                                    samplePath("3de_export_cube.txt")}),
                 QStringLiteral("cannot-write"));
    }

    // A long conversion shows one progress line when asked (on a pipe it is
    // never shown unless asked; a terminal shows it unless --quiet).
    void progressLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.txt"));
        {
            QByteArray text = "1\nT\n0\n3000000\n";
            text.reserve(3000000 * 24);
            for (int f = 1; f <= 3000000; ++f)
                text += QByteArray::number(f) + " 10.5 20.25\n";
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        const QStringList args{QStringLiteral("--to"),
                               QStringLiteral("nuke-script"),
                               QStringLiteral("--plate"),
                               QStringLiteral("1920x1080"),
                               QStringLiteral("-o"),
                               dir.filePath(QStringLiteral("long.nk")),
                               path};
        CliRun run = runConverter(args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(!run.err.contains(QLatin1String("reading")), qPrintable(run.err));
        run = runConverter(QStringList{QStringLiteral("--progress")} + args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("corvane-convert: reading ")) ||
                     run.err.contains(QLatin1String("corvane-convert: converting ")) ||
                     run.err.contains(QLatin1String("corvane-convert: writing ")),
                 qPrintable(run.err));
    }

    // -j converts inputs at once: the same files, the same failure, the same
    // exit status as one by one.
    void inputsAtOnce()
    {
        QTemporaryDir dir;
        QStringList inputs;
        QFile sample(samplePath("3de_export_cube.txt"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray bytes = sample.readAll();
        for (int i = 0; i < 6; ++i) {
            const QString path = dir.filePath(QStringLiteral("in%1.txt").arg(i));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            inputs << path;
        }
        auto runInto = [&](const char *folder, const char *jobs, const QStringList &files) {
            QDir(dir.path()).mkdir(QLatin1String(folder));
            return runConverter(QStringList{QStringLiteral("--to"), QStringLiteral("nuke-script"),
                                            QStringLiteral("--plate"), QStringLiteral("1920x1080"),
                                            QStringLiteral("-j"), QLatin1String(jobs),
                                            QStringLiteral("-o"),
                                            dir.filePath(QLatin1String(folder))} +
                                files);
        };
        QCOMPARE(runInto("one", "1", inputs).exitCode, 0);
        QCOMPARE(runInto("three", "3", inputs).exitCode, 0);
        for (int i = 0; i < 6; ++i) {
            const QString name = QStringLiteral("in%1.nk").arg(i);
            QFile a(dir.filePath(QStringLiteral("one/") + name)),
                b(dir.filePath(QStringLiteral("three/") + name));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QCOMPARE(b.readAll(), a.readAll());
        }
        // A bad input among them: the same refusal, and nothing written.
        QStringList withBad = inputs;
        const QString bad = dir.filePath(QStringLiteral("bad.txt"));
        QFile junk(bad);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("no tracks\n");
        junk.close();
        withBad.insert(3, bad);
        const CliRun alone = runInto("bad1", "1", withBad);
        const CliRun together = runInto("bad3", "3", withBad);
        QCOMPARE(alone.exitCode, 2);
        QCOMPARE(together.exitCode, alone.exitCode);
        QCOMPARE(together.err, alone.err);
        QVERIFY(QDir(dir.filePath(QStringLiteral("bad3"))).isEmpty());
        CliRun wrong = runInto("x", "0", inputs);
        QCOMPARE(wrong.exitCode, 1);
        QVERIFY2(wrong.err.contains(QLatin1String("is not a whole number from 1 to 256")),
                 qPrintable(wrong.err));
    }

    // "-" reads standard input and writes standard output, as a Unix tool's
    // files; a per-track format refuses standard output and devices.
    void standardInputAndOutput()
    {
        QTemporaryDir dir;
        QFile sample(samplePath("3de_export_cube.txt"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray bytes = sample.readAll();
        const QString file = dir.filePath(QStringLiteral("file.nk"));
        const QStringList common{QStringLiteral("--to"), QStringLiteral("nuke-script"),
                                 QStringLiteral("--plate"), QStringLiteral("1920x1080")};
        QCOMPARE(runConverter(common + QStringList{QStringLiteral("-o"), file,
                                                   samplePath("3de_export_cube.txt")})
                     .exitCode,
                 0);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray expected = written.readAll();
        // Detected from its bytes, written to standard output without -o.
        CliRun run = runConverter(common + QStringList{QStringLiteral("-")}, dir.path(), &bytes);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.toUtf8(), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("file.nk")});
        run = runConverter(common + QStringList{QStringLiteral("--from"), QStringLiteral("3de4"),
                                                QStringLiteral("-o"), QStringLiteral("-"),
                                                QStringLiteral("-")},
                           dir.path(), &bytes);
        QCOMPARE(run.out.toUtf8(), expected);
        // What is wrong with standard input is said of it.
        const QByteArray junk("no tracks here\n");
        run = runConverter(common + QStringList{QStringLiteral("-")}, dir.path(), &junk);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QLatin1String("standard input: not a track file")),
                 qPrintable(run.err));
        // One file per track cannot go to standard output or a device.
        const QStringList perTrack{QStringLiteral("--to"),
                                   QStringLiteral("nuke-tracker"),
                                   QStringLiteral("--plate"),
                                   QStringLiteral("1920x1080"),
                                   samplePath("3de_export_cube.txt"),
                                   QStringLiteral("-o")};
        run = runConverter(perTrack + QStringList{QStringLiteral("-")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("writes one file per track")), qPrintable(run.err));
        run = runConverter(perTrack + QStringList{QStringLiteral("/dev/null")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("-o /dev/null is not a file")),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(QStringLiteral("/dev/null_01.txt")));
        // --json keeps standard output for its document.
        run = runConverter(common + QStringList{QStringLiteral("--json"), QStringLiteral("-o"),
                                                QStringLiteral("-"),
                                                samplePath("3de_export_cube.txt")});
        QCOMPARE(run.exitCode, 1);
    }

    // --corners names a corner pin's tracks; a wrong count, a missing track
    // or another target is refused and nothing is written.
    void cornerPinCorners()
    {
        QByteArray v4 = "5\n";
        for (const char *name : {"a", "b", "c", "d", "e"})
            v4 += QByteArray(name) + "\n0\n2\n1 10 20\n2 11 21\n";
        const QString input = file(QStringLiteral("corners.txt"), v4);
        const QString out = dir.filePath(QStringLiteral("pin.txt"));
        CliRun run = runConverter({"--to", "ae-cornerpin", "--plate", "100x100", "-o", out, input});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QLatin1String("--corners")));
        QVERIFY(!QFile::exists(out));
        for (const char *corners : {"a,b,c", "a,b,c,x"}) {
            run = runConverter({"--to", "ae-cornerpin", "--corners", corners, "--plate", "100x100",
                                "-o", out, input});
            QCOMPARE(run.exitCode, 1);
            QVERIFY(!QFile::exists(out));
        }
        QCOMPARE(runConverter({"--to", "3de4", "--corners", "a,b,c,d", "--plate", "100x100", "-o",
                               out, input})
                     .exitCode,
                 1);
        run = runConverter({"--to", "ae-cornerpin", "--corners", "d,c,b,a", "--plate", "100x100",
                            "-o", out, input});
        QCOMPARE(run.exitCode, 0);
        const QByteArray pin = fileContents(out);
        QVERIFY(pin.contains("Effects\tCorner Pin #1\tUpper Left #2"));
        QCOMPARE(pin.count("\t1\t10\t80\t\n"), 4); // every corner's first key, Y down
    }

    void workedExampleRoundTrip()
    {
        QString input = file(QStringLiteral("in/worked.txt"), worked);
        QString output = dir.filePath(QStringLiteral("out/worked.txt"));
        QDir().mkpath(dir.filePath(QStringLiteral("out")));
        CliRun run = runConverter({"--to", "3de4", "--plate", "1920x1080", "-o", output, input});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.err, QString()); // nothing extra when not on a terminal
        QCOMPARE(fileContents(output), worked);
    }

    void threeDEToNukeTracker()
    {
        QString input = file(QStringLiteral("nuke/shot.txt"), worked);
        CliRun run = runConverter({"--to", "Nuke Tracker File (*.txt)", "--plate", "1920x1080",
                                   "--from", "3de4", "--first-frame", "101", "-o",
                                   dir.filePath(QStringLiteral("nuke/out.txt")), input});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(fileContents(dir.filePath(QStringLiteral("nuke/out_Track_0001.txt"))),
                 QByteArray("101 100.5 200.25\n102 101 201\n"));
        QCOMPARE(fileContents(dir.filePath(QStringLiteral("nuke/out_corner.txt"))),
                 QByteArray("107 50 60\n"));
        QCOMPARE(fileContents(dir.filePath(QStringLiteral("nuke/out.txt"))), QByteArray());
        // The default output sits in the current folder, named after the input.
        run = runConverter(
            {"--to", "nuke-cameratracker", "--plate", "1920x1080", "--preset", "normalized", input},
            dir.filePath(QStringLiteral("nuke")));
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QLatin1String("would be overwritten by its own conversion")));
        QCOMPARE(fileContents(input), worked); // the input is never its own output
        run = runConverter({"--to", "nuke-cameratracker", "--plate", "1920x1080", "--preset",
                            "normalized", "-o", dir.filePath(QStringLiteral("nuke/camera.txt")),
                            input});
        QVERIFY(fileContents(dir.filePath(QStringLiteral("nuke/camera.txt")))
                    .contains("    1.00     0.052344     0.814583         1.000 \n"));
    }

    // Coordinates keep their digits and are never written with an exponent.
    void exactNumbers()
    {
        QString input = file(QStringLiteral("exact/in.txt"),
                             "1\nP\n0\n2\n1 1987.654321 1234567.5\n2 0.0000123 -0.0000001\n");
        for (const char *to : {"3de4", "nuke-tracker", "nuke-cameratracker"}) {
            QString out = dir.filePath(QStringLiteral("exact/%1.txt").arg(QLatin1String(to)));
            CliRun run = runConverter(
                {"--to", to, "--plate", "1920x1080", "--from", "3de4", "-o", out, input});
            QCOMPARE(run.exitCode, 0);
            QByteArray written = fileContents(out);
            if (written.isEmpty()) // a file per track
                written = fileContents(dir.filePath(QStringLiteral("exact/%1_P.txt").arg(to)));
            QVERIFY2(written.contains("1987.654321"), written.constData());
            QVERIFY2(written.contains("1234567.5"), written.constData());
            QVERIFY(!written.contains("e+") && !written.contains("e-"));
        }
    }

    void detection()
    {
        CliRun run = runConverter(
            {"--info", samplePath("3de_export_cube.txt"), samplePath("nuke_camtracker.txt")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("format: 3de4")));
        QVERIFY(run.out.contains(
            QLatin1String("tracks: 8\n  rows: 701\n  frames: 1..100\n  plate: not stated")));
        QVERIFY(run.out.contains(QLatin1String("format: nuke-cameratracker")));
        QVERIFY(run.out.contains(QLatin1String("tracks: 261")));
        run = runConverter({"--info", file(QStringLiteral("track.txt"), "1 10.5 20.5\n2 11 21\n")});
        QVERIFY(run.out.contains(QLatin1String("format: nuke-tracker")));

        QString both =
            file(QStringLiteral("both.txt"), "1\nTrackName x\n0\n1\n1 2 3\n    5.00 1 2 1.000\n");
        run = runConverter({"--to", "3de4", "--plate", "10x10", both});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QLatin1String(
                     "fits more than one format (3de4, nuke-cameratracker), and they read it "
                     "differently; give --from FORMAT")),
                 qPrintable(run.err));
        run = runConverter({"--to", "3de4", "--plate", "10x10", "--from", "3de4", both, "-o",
                            dir.filePath(QStringLiteral("both-out.txt"))});
        QCOMPARE(run.exitCode, 0);

        run = runConverter({"--info", file(QStringLiteral("prose.txt"), "Dear artist,\nhello.\n")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("not a track file Corvane reads")));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);

        // Scripts whose first line passes a format's own test.
        const QList<std::pair<QByteArray, const char *>> scripts{
            {"// Shake v4.10.0606 - (c) 2006\nSetTimeRange(\"1-5\");\nvar = Tracker(0, \"1-5\");\n",
             "a Shake script"},
            {"// a layer's motion\nvar comp = app.project.activeItem;\n",
             "an After Effects script"},
            {"#! /usr/local/Nuke7.0v8/Nuke7.0 -nx\nversion 7.0 v8\nRoot {\n}\n",
             "a Nuke script with no RotoPaint"}};
        for (const auto &[text, kind] : scripts) {
            run = runConverter({"--info", file(QStringLiteral("script.txt"), text)});
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(
                run.err.contains(QStringLiteral("not a track file Corvane reads (it looks like "
                                                "%1)")
                                     .arg(QLatin1String(kind))),
                qPrintable(run.err));
        }
    }

    // Formats that read a file to the same rows and convert them alike ask
    // nothing: the file's habits, else the registry's order, choose.
    void equalReadingsDetected()
    {
        QString input = file(QStringLiteral("equal/in.txt"), worked);
        for (const char *to : {"nuke-cameratracker", "shake-track"}) {
            const QString out = dir.filePath(QStringLiteral("equal/%1.txt").arg(QLatin1String(to)));
            QCOMPARE(runConverter({"--to", to, "--plate", "1920x1080", "-o", out, input}).exitCode,
                     0);
        }
        CliRun run =
            runConverter({"--info", dir.filePath(QStringLiteral("equal/nuke-cameratracker.txt"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QLatin1String("format: nuke-cameratracker")),
                 qPrintable(run.out));
        QVERIFY(run.out.contains(QLatin1String("Shake Track fits too and reads the same rows")));
        // A one-track file of either reads the same whichever is taken.
        run = runConverter(
            {"--info", dir.filePath(QStringLiteral("equal/shake-track_Track_0001.txt"))});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QLatin1String("rows: 2")), qPrintable(run.out));
    }

    // Every write error reaches the user with its cause, exit 3: a full
    // device, a reader that goes away, a full disk, links that lead nowhere.
    void writeErrorsReported()
    {
        QString input = file(QStringLiteral("errors/in.txt"), worked);
        auto save = [&](const QString &output, const QString &in) {
            return runConverter(
                {"--from", "3de4", "--to", "3de4", "--plate", "1920x1080", "-o", output, in});
        };
        CliRun run = save(QStringLiteral("/dev/full"), input);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QLatin1String("No space left on device")), qPrintable(run.err));
        const QString device = dir.filePath(QStringLiteral("errors/fulldev"));
        if (QProcess::execute(QStringLiteral("mknod"), {device, "c", "1", "7"}) == 0) {
            run = save(device, input);
            QCOMPARE(run.exitCode, 3);
            QVERIFY(run.err.contains(QLatin1String("No space left on device")));
        } else {
            qInfo("mknod is not allowed here: the character device case is left out");
        }

        // A FIFO whose reader takes 10 bytes and goes: "Broken pipe", no signal.
        QByteArray large = "20000\n";
        for (int t = 0; t < 20000; ++t)
            large += "T" + QByteArray::number(t) + "\n0\n1\n1 100.5 200.25\n";
        const QString big = file(QStringLiteral("errors/big.txt"), large);
        const QString fifo = dir.filePath(QStringLiteral("errors/fifo"));
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
        QProcess reader;
        reader.start(QStringLiteral("head"), {"-c", "10", fifo});
        QVERIFY(reader.waitForStarted());
        run = save(fifo, big);
        reader.waitForFinished();
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QLatin1String("Broken pipe")), qPrintable(run.err));

        // A symbolic-link loop, and a chain of links that ends nowhere.
        const QString loop = dir.filePath(QStringLiteral("errors/loop1"));
        QFile::link(dir.filePath(QStringLiteral("errors/loop2")), loop);
        QFile::link(loop, dir.filePath(QStringLiteral("errors/loop2")));
        run = save(loop, input);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QLatin1String("Too many levels of symbolic links")),
                 qPrintable(run.err));
        QVERIFY(QFileInfo(loop).isSymLink());
        const QString chain = dir.filePath(QStringLiteral("errors/chain"));
        QFile::link(dir.filePath(QStringLiteral("errors/chain2")), chain);
        QFile::link(dir.filePath(QStringLiteral("errors/nowhere")),
                    dir.filePath(QStringLiteral("errors/chain2")));
        run = save(chain, input);
        QCOMPARE(run.exitCode, 3);
        QVERIFY(QFileInfo(chain).isSymLink());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("errors/nowhere"))));

        // A full disk: a small tmpfs, where the tests may mount one.
        const QString small = dir.filePath(QStringLiteral("errors/small"));
        QDir().mkpath(small);
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small}) != 0) {
            qInfo("no tmpfs could be mounted here: the full-disk case is left out");
            return;
        }
        run = save(small + QStringLiteral("/out.txt"), big);
        QProcess::execute(QStringLiteral("umount"), {small});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QLatin1String("No space left on device")), qPrintable(run.err));
    }

    // A per-track save holds a few descriptors whatever its number of files,
    // and two saves of one set at once leave it whole, from one of them.
    void perTrackSavesAtAnySize()
    {
        auto tracks = [](int count, int value) {
            QByteArray text = QByteArray::number(count) + '\n';
            for (int t = 0; t < count; ++t)
                text += "T" + QByteArray::number(t) + "\n0\n1\n1 " + QByteArray::number(value) +
                        " " + QByteArray::number(value) + "\n";
            return text;
        };
        const QString many = file(QStringLiteral("sets/many.txt"), tracks(5000, 1));
        QDir().mkpath(dir.filePath(QStringLiteral("sets/out")));
        QProcess limited;
        limited.start(QStringLiteral("sh"),
                      {"-c", "ulimit -n 256 && exec \"$0\" \"$@\"", QStringLiteral(CORVANE_CONVERT),
                       "--to", "nuke-tracker", "--plate", "10x10", "-o",
                       dir.filePath(QStringLiteral("sets/out/x.txt")), many});
        QVERIFY(limited.waitForFinished(120000));
        QVERIFY2(limited.exitCode() == 0, limited.readAllStandardError().constData());
        QCOMPARE(QDir(dir.filePath(QStringLiteral("sets/out"))).entryList(QDir::Files).size(),
                 5001);

        const QString one = file(QStringLiteral("sets/one.txt"), tracks(300, 1));
        const QString two = file(QStringLiteral("sets/two.txt"), tracks(300, 2));
        const QString target = dir.filePath(QStringLiteral("sets/both/s.txt"));
        QDir().mkpath(QFileInfo(target).path());
        QProcess first, second;
        for (auto [process, input] : {std::pair{&first, one}, std::pair{&second, two}})
            process->start(QStringLiteral(CORVANE_CONVERT),
                           {"--to", "nuke-tracker", "--plate", "10x10", "-o", target, input});
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        QCOMPARE(first.exitCode() + second.exitCode(), 0);
        const QByteArray sample = fileContents(dir.filePath(QStringLiteral("sets/both/s_T0.txt")));
        for (int t = 0; t < 300; ++t)
            QCOMPARE(fileContents(dir.filePath(QStringLiteral("sets/both/s_T%1.txt").arg(t))),
                     sample);
    }

    // A per-track set over an older one, killed at random moments of the
    // save (SIGKILL, 50 times) or stopped by a signal: after the next run
    // that touches the folder, it holds the old set or the new one, whole,
    // and nothing else. Stopped runs end with the shell's status.
    void setsNeverTear()
    {
        auto tracks = [](int count, int value) {
            QByteArray text = QByteArray::number(count) + '\n';
            for (int t = 0; t < count; ++t)
                text += "T" + QByteArray::number(t) + "\n0\n2\n1 " + QByteArray::number(value) +
                        " 5\n2 " + QByteArray::number(value + t) + " 6\n";
            return text;
        };
        const QString oldInput = file(QStringLiteral("torn/old.txt"), tracks(2000, 1));
        const QString newInput = file(QStringLiteral("torn/new.txt"), tracks(1990, 2));
        const QDir out(dir.filePath(QStringLiteral("torn/out")));
        const QString target = out.filePath(QStringLiteral("s.txt"));
        const QStringList save{"--to", "nuke-tracker", "--plate", "10x10", "-o", target};
        auto folder = [&] {
            QMap<QString, QByteArray> files;
            for (const QString &name : out.entryList(QDir::Files | QDir::Hidden))
                files.insert(name, fileContents(out.filePath(name)));
            return files;
        };
        auto restore = [&](const QMap<QString, QByteArray> &files) {
            QDir(out).removeRecursively();
            QDir().mkpath(out.path());
            for (auto it = files.cbegin(); it != files.cend(); ++it)
                writeFile(out.filePath(it.key()), it.value());
        };
        restore({});
        QCOMPARE(runConverter(save + QStringList{newInput}).exitCode, 0);
        const QMap<QString, QByteArray> fresh = folder();
        restore({});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runConverter(save + QStringList{oldInput}).exitCode, 0);
        const qint64 took = std::max<qint64>(clock.elapsed(), 50);
        const QMap<QString, QByteArray> old = folder();
        QCOMPARE(old.size(), 2002); // s.txt, 2,000 tracks and the set's record
        int sawOld = 0, sawNew = 0;
        for (int run = 0; run < 54; ++run) {
            restore(old);
            QProcess converter;
            converter.start(QStringLiteral(CORVANE_CONVERT), save + QStringList{newInput});
            QVERIFY(converter.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(took + 20)));
            const int signal =
                run < 50 ? SIGKILL : QList<int>{SIGINT, SIGTERM, SIGHUP, SIGINT}[run - 50];
            // A converter that is done has no process id: kill(0) would
            // signal the whole process group, ctest with it.
            const qint64 pid = converter.processId();
            const bool signalled = pid > 0 && converter.state() == QProcess::Running;
            if (signalled) ::kill(pid_t(pid), signal);
            // A finished one is not waited for (waitForFinished says false).
            QVERIFY(converter.state() == QProcess::NotRunning || converter.waitForFinished(60000));
            if (signalled && signal != SIGKILL && converter.exitStatus() == QProcess::NormalExit)
                QCOMPARE(converter.exitCode(), 128 + signal);
            // The next run that looks into the folder puts the old set back.
            runConverter({"--info", target});
            const QMap<QString, QByteArray> now = folder();
            QVERIFY2(
                now == old || now == fresh,
                qPrintable(
                    QStringLiteral("run %1: a torn set of %2 files").arg(run).arg(now.size())));
            (now == old ? sawOld : sawNew)++;
        }
        QVERIFY(sawOld > 0);
    }

    // Another user's write-protected file is replaced only with --force.
    void writeProtectedFilesOfOthers()
    {
        const QString input = file(QStringLiteral("theirs/in.txt"), worked);
        const QString theirs = file(QStringLiteral("theirs/out.txt"), "theirs");
        if (::geteuid() != 0 || ::chown(QFile::encodeName(theirs).constData(), 65534, 65534) != 0)
            QSKIP("changing a file's owner needs root");
        ::chmod(QFile::encodeName(theirs).constData(), 0444);
        const QStringList save{"--to", "3de4", "--plate", "10x10", "-o", theirs, input};
        CliRun refused = runConverter(save);
        QCOMPARE(refused.exitCode, 3);
        QVERIFY2(refused.err.contains(QLatin1String("--force")), qPrintable(refused.err));
        QCOMPARE(fileContents(theirs), QByteArray("theirs"));
        QCOMPARE(runConverter(QStringList{"--force"} + save).exitCode, 0);
        QVERIFY(fileContents(theirs).startsWith("2\n"));
    }

    // In a folder where only a file's owner may rename it (/tmp's sticky
    // bit), another user's file is refused before anything is changed: no
    // kept name is left behind that this user could not remove.
    void stickyFoldersOfOthers()
    {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (::geteuid() != 0 || setpriv.isEmpty()) QSKIP("running as another user needs root");
        QTemporaryDir sticky(QDir::temp().filePath(QStringLiteral("corvane-sticky-XXXXXX")));
        QVERIFY(::chmod(QFile::encodeName(sticky.path()).constData(), 01777) == 0);
        const QString input = writeFile(sticky.filePath(QStringLiteral("in.txt")), worked);
        const QString theirs = writeFile(sticky.filePath(QStringLiteral("out.txt")), "root's");
        ::chmod(QFile::encodeName(input).constData(), 0644);
        ::chmod(QFile::encodeName(theirs).constData(), 0666);
        QProcess nobody;
        nobody.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups",
                               QStringLiteral(CORVANE_CONVERT), "--to", "3de4", "--plate", "10x10",
                               "-o", theirs, input});
        QVERIFY(nobody.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(nobody.readAllStandardError());
        if (err.contains(QLatin1String("Permission denied")) && !err.contains(theirs))
            QSKIP("the converter cannot be run as another user here");
        QCOMPARE(nobody.exitCode(), 3);
        QVERIFY2(err.contains(QLatin1String("only a file's owner may replace it")),
                 qPrintable(err));
        QCOMPARE(fileContents(theirs), QByteArray("root's"));
        QCOMPARE(QDir(sticky.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A value no conversion can hold is the input's error (exit 2), named
    // in %g form with the file, the track and the frame.
    void valuesBeyondAnyPlate()
    {
        const QString input = file(QStringLiteral("huge.txt"), "1\nA\n0\n1\n5 1e308 5\n");
        CliRun run = runConverter({"--to", "boujou", "--plate", "100x100", "-o",
                                   dir.filePath(QStringLiteral("huge.out")), input});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QLatin1String("huge.txt, track \"A\", frame 5")) &&
                     run.err.contains(QLatin1String("1e+308")),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("huge.out"))));
    }

    // What went wrong is told as it is: a file's control characters escaped,
    // and with several inputs, the outputs written before a failure.
    void reportsSayWhatHappened()
    {
        QString escaped = file(QStringLiteral("report/esc.txt"), "1\nA\n0\n1\n1 \x1b[31mred 1\n");
        CliRun run = runConverter({"--to", "3de4", "--plate", "10x10", escaped});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QLatin1String("\"\\x1B[31mred\"")), qPrintable(run.err));
        QVERIFY(!run.err.contains(QChar(0x1b)));

        const QString first = file(QStringLiteral("report/first.txt"), worked);
        const QString second = file(QStringLiteral("report/second.txt"), worked);
        QDir().mkpath(dir.filePath(QStringLiteral("report/out/second.txt"))); // cannot be written
        run = runConverter({"--to", "3de4", "--plate", "10x10", "-o",
                            dir.filePath(QStringLiteral("report/out")), first, second});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains(QLatin1String("written before this failure: ")) &&
                     run.err.contains(QLatin1String("out/first.txt")),
                 qPrintable(run.err));
    }

    // A conversion of one file streams; --append takes it through the whole
    // table. Both write the same bytes and report the same, whatever the
    // options.
    void streamedAsWhole()
    {
        QByteArray text = "3\n";
        const int first[] = {10, 1003, 2};
        for (int t = 0; t < 3; ++t) {
            const int rows = t == 0 ? 40000 : 7;
            text +=
                "Track_" + QByteArray::number(t + 1) + "\n0\n" + QByteArray::number(rows) + '\n';
            for (int r = 0; r < rows; ++r)
                text += QByteArray::number(first[t] + r) + ' ' +
                        QByteArray::number(12.5 + r * 0.125 + t, 'f', 6) + ' ' +
                        QByteArray::number(700.0 - r * 0.0625, 'f', 4) + '\n';
        }
        const QString input = file(QStringLiteral("streamed/in.txt"), text);
        const QList<QStringList> options{{},
                                         {"--preset", "x2"},
                                         {"--first-frame", "1001"},
                                         {"--par", "2"},
                                         {"--conventions", "file"}};
        // The reports, the outputs' names aside.
        auto report = [](const CliRun &run, const QString &output) {
            return QJsonDocument::fromJson(QString(run.out).replace(output, "OUT").toUtf8())
                .object();
        };
        for (const char *target : {"nuke-cameratracker", "3de4", "pftrack2011", "syntheyes"})
            for (const QStringList &given : options) {
                const QStringList common =
                    QStringList{"--json", "--to", target, "--plate", "1920x1080"} + given;
                const QString streamed = dir.filePath(QStringLiteral("streamed/a"));
                const QString whole = dir.filePath(QStringLiteral("streamed/b"));
                const CliRun a = runConverter(common + QStringList{"-o", streamed, input});
                const CliRun b = runConverter(common + QStringList{"--append", "-o", whole, input});
                QCOMPARE(a.exitCode, 0);
                QCOMPARE(b.exitCode, 0);
                QVERIFY2(fileContents(streamed) == fileContents(whole),
                         qPrintable(QStringLiteral("%1 %2").arg(target, given.join(' '))));
                QCOMPARE(report(a, streamed), report(b, whole));
            }
    }

    // --json: standard output is one document, whatever the run did.
    void jsonReports()
    {
        auto parse = [](const CliRun &run) {
            QJsonParseError error;
            const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
            if (error.error != QJsonParseError::NoError)
                qWarning("not JSON (%s): %s", qPrintable(error.errorString()), qPrintable(run.out));
            return doc.object();
        };

        // A conversion: what was read, written, renamed and moved.
        const QString input =
            file(QStringLiteral("json/names.txt"),
                 "1\nTrack 01\n0\n2\n1 10.000000 20.000000\n2 11.000000 21.000000\n");
        const QString output = dir.filePath(QStringLiteral("json/out.txt"));
        CliRun run =
            runConverter({"--json", "--to", "boujou", "--plate", "1920x1080", "-o", output, input});
        QCOMPARE(run.exitCode, 0);
        QJsonObject report = parse(run);
        QCOMPARE(report.value("mode").toString(), QStringLiteral("convert"));
        QCOMPARE(report.value("ok").toBool(), true);
        QCOMPARE(report.value("exitCode").toInt(), 0);
        QCOMPARE(report.value("target").toObject().value("id").toString(),
                 QStringLiteral("boujou"));
        const QJsonObject in = report.value("inputs").toArray().at(0).toObject();
        QCOMPARE(in.value("format").toObject().value("id").toString(), QStringLiteral("3de4"));
        QCOMPARE(in.value("rows").toInt(), 2);
        const QJsonObject out = report.value("outputs").toArray().at(0).toObject();
        QCOMPARE(out.value("files").toArray().at(0).toObject().value("path").toString(), output);
        QCOMPARE(out.value("rows").toInt(), 2);
        QCOMPARE(out.value("tracks").toInt(), 1);
        const QJsonObject renamed = out.value("renamed").toArray().at(0).toObject();
        QCOMPARE(renamed.value("track").toString(), QStringLiteral("Track 01"));
        QCOMPARE(renamed.value("writtenAs").toString(), QStringLiteral("Track_01"));
        QCOMPARE(out.value("conventions").toObject().value("kind").toString(),
                 QStringLiteral("program"));
        QVERIFY(report.value("error").isNull());
        QVERIFY(QFile::exists(output));

        // --info over a good input and a missing one.
        const QString missing = dir.filePath(QStringLiteral("json/missing.txt"));
        run = runConverter({"--json", "--info", input, missing});
        QCOMPARE(run.exitCode, 2);
        report = parse(run);
        QCOMPARE(report.value("mode").toString(), QStringLiteral("info"));
        QCOMPARE(report.value("ok").toBool(), false);
        const QJsonArray inputs = report.value("inputs").toArray();
        QCOMPARE(inputs.size(), 2);
        const QJsonObject good = inputs.at(0).toObject();
        QCOMPARE(good.value("tracks").toInt(), 1);
        QCOMPARE(good.value("frames").toObject().value("first").toInt(), 1);
        QCOMPARE(good.value("frames").toObject().value("last").toInt(), 2);
        QVERIFY(good.value("plate").isNull());
        QVERIFY(good.value("error").isNull());
        const QJsonObject bad = inputs.at(1).toObject().value("error").toObject();
        QCOMPARE(bad.value("file").toString(), missing);
        QCOMPARE(bad.value("exitCode").toInt(), 2);

        // A failure names its file and line; nothing is written.
        const QString broken =
            file(QStringLiteral("json/broken.txt"), "1\nA\n0\n3\n1 10 20\n2 11 x21\n3 12 22\n");
        const QString none = dir.filePath(QStringLiteral("json/none.txt"));
        run = runConverter({"--json", "--from", "3de4", "--to", "boujou", "-o", none, broken});
        QCOMPARE(run.exitCode, 2);
        report = parse(run);
        const QJsonObject error = report.value("error").toObject();
        QCOMPARE(error.value("file").toString(), broken);
        QCOMPARE(error.value("line").toInt(), 6);
        QVERIFY(error.value("message").toString().contains(QLatin1String("x21")));
        QVERIFY(report.value("outputs").toArray().isEmpty());
        QVERIFY(!QFile::exists(none));

        // A usage error, and the format list.
        run = runConverter({"--json", "--to", "no-such-format", input});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(parse(run).value("mode").toString(), QStringLiteral("usage"));
        QCOMPARE(parse(run).value("error").toObject().value("exitCode").toInt(), 1);
        run = runConverter({"--json", "--list-formats"});
        const QJsonArray formats = parse(run).value("formats").toArray();
        const CliRun text = runConverter({"--list-formats"});
        QCOMPARE(formats.size(), text.out.trimmed().split(QLatin1Char('\n')).size());
        QCOMPARE(formats.at(0).toObject().value("id").toString(), QStringLiteral("3de4"));
    }

    void trackOperationsInTheirOrder()
    {
        const QString input = file(QStringLiteral("ops/worked.txt"), worked);
        const QString output = dir.filePath(QStringLiteral("ops/out.txt"));
        // A negative slip is a value, not an option; the flip mirrors in 200 px.
        CliRun run = runConverter({"--json", "--to", "3de4", "--plate", "200x300", "--slip", "-5",
                                   "--prefix", "sh010_", "--flip", "-o", output, input});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(fileContents(output),
                 QByteArray("2\nsh010_Track_0001\n0\n2\n-4 99.500000 200.250000\n-3 99.000000 "
                            "201.000000\nsh010_corner\n0\n1\n2 150.000000 60.000000\n"));
        const QJsonArray done = QJsonDocument::fromJson(run.out.toUtf8())
                                    .object()
                                    .value("outputs")
                                    .toArray()
                                    .at(0)
                                    .toObject()
                                    .value("operations")
                                    .toArray();
        QCOMPARE(done.size(), 3);
        QCOMPARE(done.at(0).toString(), QStringLiteral("slip -5 frames: 3 keys of 2 tracks"));
        QCOMPARE(done.at(2).toString(),
                 QStringLiteral("flip (left-right in 200x300): 3 keys of 2 tracks"));

        // The command line's order: a shift before a reformat is scaled with it.
        run = runConverter({"--to", "3de4", "--plate", "200x300", "--shift", "10,0", "--reformat",
                            "100x150", "-o", output, input});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(fileContents(output).contains("1 55.250000 100.125000\n"));
        run = runConverter({"--to", "3de4", "--plate", "200x300", "--reformat", "100x150",
                            "--shift", "10,0", "-o", output, input});
        QVERIFY(fileContents(output).contains("1 60.250000 100.125000\n"));

        // A bare --fill-gaps fills every gap and leaves the input after it alone.
        const QString gappy = file(QStringLiteral("ops/gappy.txt"),
                                   "1\np\n0\n2\n1 10.000000 20.000000\n4 40.000000 50.000000\n");
        run = runConverter(
            {"--to", "3de4", "--plate", "100x100", "--fill-gaps", gappy, "-o", output});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(fileContents(output),
                 QByteArray("1\np\n0\n4\n1 10.000000 20.000000\n2 20.000000 30.000000\n3 "
                            "30.000000 40.000000\n4 40.000000 50.000000\n"));
        run = runConverter(
            {"--to", "3de4", "--plate", "100x100", "--fill-gaps=1", gappy, "-o", output});
        QVERIFY(fileContents(output).startsWith("1\np\n0\n2\n"));

        // A list of names.
        const QString names = file(QStringLiteral("ops/names.txt"), "corner\tcorner_b\n");
        run = runConverter(
            {"--to", "3de4", "--plate", "100x100", "--rename-file", names, "-o", output, input});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(fileContents(output).contains("\ncorner_b\n"));

        // Refusals: what, and which exit status.
        run = runConverter({"--to", "3de4", "--flip", "-o", output, input});
        QCOMPARE(run.exitCode, 4);
        QVERIFY2(run.err.contains(QStringLiteral("--flip: it needs the plate size")) &&
                     run.err.contains(QStringLiteral("--plate WIDTHxHEIGHT")),
                 qPrintable(run.err));
        run = runConverter(
            {"--to", "3de4", "--plate", "100x100", "--rename", "^.*$=same", "-o", output, input});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(
                     QStringLiteral("\"Track_0001\" and \"corner\" would both be named \"same\"")),
                 qPrintable(run.err));
        QCOMPARE(runConverter({"--to", "3de4", "--trim", "9..1", input}).exitCode, 1);
        QCOMPARE(
            runConverter({"--to", "3de4", "--rename-file", dir.filePath("none"), input}).exitCode,
            1);
        QVERIFY(runConverter({"--help"}).out.contains(QStringLiteral("--lens-undistort")));
    }

    void exitStatuses()
    {
        QString input = file(QStringLiteral("status/in.txt"), worked);
        QString out = dir.filePath(QStringLiteral("status/out.txt"));
        QCOMPARE(runConverter({input}).exitCode, 1);                 // no --to
        QCOMPARE(runConverter({"--to", "nope", input}).exitCode, 1); // unknown format
        QCOMPARE(runConverter({"--to", "3de4", "--plate", "19x", input}).exitCode, 1); // bad plate
        QCOMPARE(runConverter({"--to", "3de4", "--preset", "huge", input}).exitCode,
                 1);                                                            // bad preset
        QCOMPARE(runConverter({"--to", "3de4", "--bogus", input}).exitCode, 1); // unknown option
        CliRun run;
        if (const corvane::Format *unwritten = formatWithoutWriter()) {
            run = runConverter(
                {"--to", QLatin1String(unwritten->id), "--plate", "10x10", "-o", out, input});
            QCOMPARE(run.exitCode, 1);
            QVERIFY(
                run.err.contains(QStringLiteral("Corvane reads %1 files but does not write them")
                                     .arg(QLatin1String(unwritten->name))));
            QVERIFY(!QFile::exists(out));
        }
        if (const corvane::Format *unread = formatWithoutReader()) {
            run = runConverter({"--to", "3de4", "--from", QLatin1String(unread->id), "--plate",
                                "10x10", "-o", out, input});
            QCOMPARE(run.exitCode, 2);
            QVERIFY(run.err.contains(QStringLiteral("reading %1 files is not available yet")
                                         .arg(QLatin1String(unread->name))));
        }
        QCOMPARE(
            runConverter({"--to", "3de4", "-o", out, dir.filePath(QStringLiteral("missing.txt"))})
                .exitCode,
            2);
        run = runConverter({"--to", "3de4", "--plate", "10x10", "-o",
                            dir.filePath(QStringLiteral("no/folder/x.txt")), input});
        QCOMPARE(run.exitCode, 3);
        QVERIFY(run.err.contains(QLatin1String("Could not write")));
        run = runConverter({"--to", "3de4", "-o", out, input});
        QCOMPARE(run.exitCode, 4);
        QVERIFY(run.err.contains(QLatin1String("--plate")));
        QVERIFY(!QFile::exists(out));
        QCOMPARE(runConverter({"--to", "3de4", "--plate", "10x10", "-o", out, input}).exitCode, 0);
    }

    void nothingWrittenWhenAnInputFails()
    {
        QString good = file(QStringLiteral("batch/good.txt"), worked);
        QString bad = dir.filePath(QStringLiteral("batch/missing.txt"));
        QString folder = dir.filePath(QStringLiteral("batch-out"));
        QDir().mkpath(folder);
        CliRun run = runConverter({"--to", "3de4", "--plate", "10x10", "-o", folder, good, bad});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(QDir(folder).isEmpty());
        // Each input on its own, into the folder.
        QString other = file(QStringLiteral("batch/other.txt"), "1\nB\n0\n1\n3 1 1\n");
        run = runConverter({"--to", "3de4", "--plate", "10x10", "-o", folder, good, other});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"good.txt", "other.txt"}));
        // -o naming one file for several separate inputs is a usage error.
        QCOMPARE(runConverter({"--to", "3de4", "--plate", "10x10", "-o",
                               dir.filePath(QStringLiteral("one.txt")), good, other})
                     .exitCode,
                 1);
    }

    // A reading that leaves something out fails a strict run, naming the
    // file, the line and what went; --json counts what was left out.
    void strictRunsAndWhatWasLeftOut()
    {
        const QString script = sharedSample(QStringLiteral("nuke-script/nuke7_planar.nk"));
        if (!QFile::exists(script)) QSKIP("no shared samples");
        const QString out = dir.filePath(QStringLiteral("strict/out.txt"));
        QDir().mkpath(dir.filePath(QStringLiteral("strict")));
        CliRun run = runConverter({"--to", "3de4", "-o", out, script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err)); // notes only, by default
        QVERIFY(run.err.contains(QLatin1String("follows an expression; it is left out")));
        QFile::remove(out);
        run = runConverter({"--strict", "--to", "3de4", "-o", out, script});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QLatin1String("nuke7_planar.nk, node CornerPin2D1, knob to1 "
                                                "follows an expression; it is left out")) &&
                     run.err.contains(QLatin1String("--strict")),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
        run = runConverter({"--json", "--strict", "--to", "3de4", "-o", out, script});
        QCOMPARE(run.exitCode, 2);
        const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
        const QJsonObject leftOut =
            report.value("inputs").toArray().at(0).toObject().value("left_out").toObject();
        QCOMPARE(leftOut.value("tracks").toInt(), 8);
        QCOMPARE(leftOut.value("keys").toInt(), 0);
        QVERIFY(report.value("error").toObject().value("line").toInt() > 0);
        // Notes that only inform fail nothing.
        const QString input = file(QStringLiteral("strict/in.txt"), worked);
        run = runConverter({"--strict", "--to", "boujou", "--plate", "100x100", "-o", out, input});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run = runConverter({"--json", "--info", "--strict", script});
        QCOMPARE(run.exitCode, 2);
    }

    // A stereo shot's cameras: both by default, one with --camera, and the
    // camera in the names of a format that holds one.
    void stereoCameras()
    {
        const QString stereo =
            file(QStringLiteral("stereo/shot.2dt"),
                 "# 2D feature tracks generated by PFTrack 5.0r11\n\n"
                 "\"A\"\n\"Primary\"\n1\n1 10 20 0\n\"Secondary\"\n1\n1 8 20 0\n\n"
                 "\"B\"\n\"Primary\"\n0\n\"Secondary\"\n1\n3 5 6 0\n");
        const QString both = dir.filePath(QStringLiteral("stereo/both.2dt"));
        CliRun run = runConverter({"--to", "pftrack5", "--plate", "64x64", "-o", both, stereo});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(fileContents(both).contains("\"A\"\n\"Primary\"\n1\n1 10 20 0.000\n"
                                            "\"Secondary\"\n1\n1 8 20 0.000\n"));
        QVERIFY(fileContents(both).contains("\"B\"\n\"Primary\"\n0\n\"Secondary\"\n1\n"));
        const QString left = dir.filePath(QStringLiteral("stereo/secondary.2dt"));
        run = runConverter(
            {"--to", "pftrack5", "--plate", "64x64", "--camera", "secondary", "-o", left, both});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(fileContents(left).count("\"Primary\""), 2);
        QVERIFY(!fileContents(left).contains("Secondary"));
        QVERIFY(fileContents(left).contains("\"A\"\n\"Primary\"\n1\n1 8 20 0.000\n"));
        const QString mono = dir.filePath(QStringLiteral("stereo/mono.txt"));
        run = runConverter({"--to", "boujou", "--plate", "64x64", "-o", mono, both});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("2 tracks of the secondary camera were written "
                                                "with \"_Secondary\" in their names")),
                 qPrintable(run.err));
        QVERIFY(fileContents(mono).contains("A_Secondary"));
        run = runConverter({"--to", "boujou", "--plate", "64x64", "--camera", "both", stereo});
        QCOMPARE(run.exitCode, 1);
        const QString primaryOnly =
            file(QStringLiteral("stereo/mono.2dt"), "\"C\"\n\"Primary\"\n1\n1 1 1 0\n");
        run = runConverter({"--to", "boujou", "--plate", "64x64", "--camera", "secondary", "-o",
                            mono, primaryOnly});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("mono.2dt: no track of the secondary camera")));
    }

    void appendedInputs()
    {
        QString a = file(QStringLiteral("append/a.txt"), "1\nA\n0\n2\n10 1 1\n11 2 2\n");
        QString b = file(QStringLiteral("append/b.txt"), "1\nB\n0\n1\n5 3 3\n");
        QString out = dir.filePath(QStringLiteral("append/ab.txt"));
        CliRun run =
            runConverter({"--to", "3de4", "--plate", "100x100", "--append", "-o", out, a, b});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        // The smaller first frame of the two is where frames count from; no shift by default.
        QCOMPARE(fileContents(out), QByteArray("2\nA\n0\n2\n10 1.000000 1.000000\n11 2.000000 "
                                               "2.000000\nB\n0\n1\n5 3.000000 3.000000\n"));
    }
};

QTEST_GUILESS_MAIN(TestConvert)
#include "tst_convert.moc"
