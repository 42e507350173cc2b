// SPDX-License-Identifier: Apache-2.0
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "cliprocess.h"
#include "guitest.h"
#include "testdata.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The window's save and the converter's output are the same bytes.
class TestConverterParity : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString file(const char *name, const QByteArray &content)
    {
        return writeFile(dir.filePath(QLatin1String(name)), content);
    }

    // A user's session: import(s), target, plate, preset, first frame, Apply, Save.
    void saveFromWindow(const QStringList &inputs, const QString &target, const QString &filter,
                        int preset, const QString &firstFrame)
    {
        MainWindow w;
        for (int i = 0; i < inputs.size(); ++i) {
            if (i > 0) // "Add to Curent List"
                whenModal<DialogM>([](DialogM *d) {
                    d->findChild<QPushButton *>(QStringLiteral("addtoCurrentList"))->click();
                });
            QVERIFY(
                w.recogniseAndImport(inputs.at(i), QStringLiteral("3DE v4 Track File (*.txt)")));
        }
        w.chooseExportTarget(target, filter);
        w.findChild<QLineEdit *>(QStringLiteral("plateResWidth"))->setText(QStringLiteral("1920"));
        w.findChild<QLineEdit *>(QStringLiteral("plateResHight"))->setText(QStringLiteral("1080"));
        w.findChild<QComboBox *>(QStringLiteral("predefinedSettingCombo"))->setCurrentIndex(preset);
        if (!firstFrame.isEmpty())
            w.findChild<QLineEdit *>(QStringLiteral("exportFirstText"))->setText(firstFrame);
        w.applySettings();
        w.saveData();
    }

private slots:
    void sameFileSameSettingsSameBytes_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("presetIndex");
        QTest::addColumn<QString>("firstFrame");
        QTest::newRow("3de4") << "3de4"
                              << "3DE v4 Track File (*.txt)"
                              << "default" << 0 << "";
        QTest::newRow("nuke-cameratracker bottom-left") << "nuke-cameratracker"
                                                        << "Nuke CameraTracker File (*.txt)"
                                                        << "bottom-left" << 2 << "1001";
        QTest::newRow("nuke-tracker half") << "nuke-tracker"
                                           << "Nuke Tracker File (*.txt)"
                                           << "half" << 5 << "";
    }

    void sameFileSameSettingsSameBytes()
    {
        QFETCH(QString, id);
        QFETCH(QString, filter);
        QFETCH(QString, preset);
        QFETCH(int, presetIndex);
        QFETCH(QString, firstFrame);
        const QString input = samplePath("3de_export_cube.txt");
        QDir(dir.path()).mkpath(id + QStringLiteral("/window"));
        QDir(dir.path()).mkpath(id + QStringLiteral("/cli"));
        const QString windowTarget = dir.filePath(id + QStringLiteral("/window/out.txt"));
        const QString cliTarget = dir.filePath(id + QStringLiteral("/cli/out.txt"));

        saveFromWindow({input}, windowTarget, filter, presetIndex, firstFrame);
        QStringList arguments{"--to", id,   "--plate", "1920x1080", "--preset",
                              preset, "-o", cliTarget, input};
        if (!firstFrame.isEmpty()) arguments << "--first-frame" << firstFrame;
        CliRun run = runConverter(arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));

        const QStringList files =
            QDir(dir.filePath(id + QStringLiteral("/window"))).entryList(QDir::Files);
        QVERIFY(!files.isEmpty());
        QCOMPARE(QDir(dir.filePath(id + QStringLiteral("/cli"))).entryList(QDir::Files), files);
        for (const QString &name : files)
            QCOMPARE(fileContents(dir.filePath(id + QStringLiteral("/cli/") + name)),
                     fileContents(dir.filePath(id + QStringLiteral("/window/") + name)));
    }

    void appendMatchesAddToCurrentList()
    {
        const QString a = file("a.txt", "1\nA\n0\n2\n10 1 1\n11 2 2\n");
        const QString b = file("b.txt", "1\nB\n0\n1\n5 3 3\n");
        const QString windowTarget = dir.filePath(QStringLiteral("append-window.txt"));
        const QString cliTarget = dir.filePath(QStringLiteral("append-cli.txt"));
        saveFromWindow({a, b}, windowTarget, QStringLiteral("3DE v4 Track File (*.txt)"), 0,
                       QStringLiteral("1"));
        CliRun run = runConverter({"--to", "3de4", "--plate", "1920x1080", "--first-frame", "1",
                                   "--append", "-o", cliTarget, a, b});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QByteArray window = fileContents(windowTarget);
        QVERIFY(window.startsWith("2\nA\n0\n2\n6 "));
        QCOMPARE(fileContents(cliTarget), window);
    }
};

QTEST_MAIN(TestConverterParity)
#include "tst_converterparity.moc"
