// SPDX-License-Identifier: Apache-2.0
// The window as a desktop application: dropped files, recent files, the
// save line, Help and the manual.
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "formats/registry.h"
#include "guitest.h"
#include "testdata.h"

#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>

using namespace corvane;

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString sample = samplePath("3de_export_cube.txt");

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void droppedFileIsImported()
    {
        MainWindow w;
        w.show();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(sample)});
        QDragEnterEvent enter(QPoint(400, 200), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(400, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(w.trackModel()->index(0, 0).data().toString(), QStringLiteral("01"));
        // A file that fits several formats: the user picks one.
        QString both = writeFile(dir.filePath(QStringLiteral("both.txt")),
                                 "1\nTrackName x\n0\n1\n1 2 3\n    5.00 1 2 1.000\n");
        QStringList offered;
        w.setFormatChooser([&](const QStringList &filters) {
            offered = filters;
            return QStringLiteral("3DE v4 Track File (*.txt)");
        });
        whenModal<DialogM>([](DialogM *d) {
            d->findChild<QPushButton *>(QStringLiteral("newGridList"))->click();
        });
        QVERIFY(w.importDropped(both));
        QCOMPARE(offered.size(), 2);
        QCOMPARE(w.trackModel()->rowCount(), 1);
        // Formats that read it alike ask nothing; the window says which it took.
        offered.clear();
        QString alike =
            writeFile(dir.filePath(QStringLiteral("alike.txt")),
                      "TrackName a\n   Frame             X             Y   Correlation\n"
                      "    1.00       1       2         1.000\n\nTrackName b\n"
                      "   Frame             X             Y   Correlation\n"
                      "    1.00       3.5       4         1.000\n");
        whenModal<DialogM>([](DialogM *d) {
            d->findChild<QPushButton *>(QStringLiteral("newGridList"))->click();
        });
        QVERIFY(w.importDropped(alike));
        QVERIFY(offered.isEmpty());
        QCOMPARE(w.trackModel()->rowCount(), 2);
        QVERIFY2(w.saveStatus().contains(QLatin1String("read as Nuke CameraTracker")),
                 qPrintable(w.saveStatus()));
    }

    // A FIFO or a device given to open is refused at once, as the converter
    // refuses it; the window does not wait on it.
    void onlyRegularFilesOpen()
    {
        MainWindow w;
        const QString fifo = dir.filePath(QStringLiteral("open.fifo"));
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
        for (const QString &path : {fifo, QStringLiteral("/dev/urandom")}) {
            QString message;
            answerMessage(&message);
            QVERIFY(!w.importDropped(path));
            QVERIFY2(message.contains(QLatin1String("is not a regular file")), qPrintable(message));
            // The recent-files and dialog road too.
            answerMessage(&message);
            QVERIFY(!w.recogniseAndImport(path, QStringLiteral("3DE v4 Track File (*.txt)")));
            QVERIFY(message.contains(QLatin1String("is not a regular file")));
        }
        QCOMPARE(w.trackModel()->rowCount(), 0);
    }

    // Enter on a tree entry does what a double-click does.
    void enterOnATreeEntry()
    {
        MainWindow w;
        w.setFileChooser(answerWith(sample, QStringLiteral("3DE v4 Track File (*.txt)")));
        auto *tree = w.findChild<QTreeWidget *>(QStringLiteral("importFilesTree"));
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QVERIFY(
            tree->topLevelItem(0)->child(0)->toolTip(0).startsWith(QLatin1String("3D Equalizer")));
    }

    void recentFilesReimport()
    {
        {
            MainWindow w;
            QVERIFY(w.recogniseAndImport(sample, QStringLiteral("3DE v4 Track File (*.txt)")));
        }
        QCOMPARE(MainWindow::recentFiles().first(),
                 qMakePair(QFileInfo(sample).absoluteFilePath(),
                           QStringLiteral("3DE v4 Track File (*.txt)")));
        MainWindow w;
        w.fillRecentMenu();
        QMenu *recent = w.findChild<QMenu *>(QStringLiteral("menuRecent"));
        QVERIFY(recent->actions().first()->text().startsWith(QLatin1String("3de_export_cube.txt")));
        recent->actions().first()->trigger();
        QCOMPARE(w.trackModel()->rowCount(), 701);
    }

    void saveSaysWhatItWrote()
    {
        MainWindow w;
        QVERIFY(w.recogniseAndImport(sample, QStringLiteral("3DE v4 Track File (*.txt)")));
        w.chooseExportTarget(dir.filePath(QStringLiteral("shot.txt")),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        w.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(7);
        w.applySettings();
        w.saveData();
        QCOMPARE(w.saveStatus(), QStringLiteral("Saved 701 rows of 8 tracks to shot.txt.\nOne file "
                                                "per track: shot_01.txt, shot_02.txt, shot_03.txt, "
                                                "shot_04.txt, shot_05.txt, shot_06.txt, "
                                                "shot_07.txt, shot_08.txt."));
        // The line shows what fits, cut at a word with "…"; its tip has it all.
        auto *line = w.findChild<QLabel *>(QStringLiteral("saveStatusLabel"));
        QVERIFY2(line->text().endsWith(QStringLiteral("…")), qPrintable(line->text()));
        QVERIFY(w.saveStatus().startsWith(line->text().chopped(1)));
        QCOMPARE(line->toolTip(), w.saveStatus());
    }

    // Names the target cannot hold and what the conventions moved are told.
    void saveSaysWhatItRenamedAndMoved()
    {
        MainWindow w;
        const QString pf =
            writeFile(dir.filePath(QStringLiteral("pf.txt")), "\n\"Track 01\"\n1\n1\n1 0 0 1.0\n");
        QVERIFY(w.recogniseAndImport(pf, QStringLiteral("PF 2011 Track File (*.txt)")));
        const QString target = dir.filePath(QStringLiteral("boujou.txt"));
        w.chooseExportTarget(target, QStringLiteral("Boujou Track File (*.txt)"));
        w.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(7);
        w.applySettings();
        QString notes;
        answerMessage(&notes);
        w.saveData();
        QVERIFY2(w.saveStatus().contains(
                     QLatin1String("1 track renamed: the format cannot hold its name as it is.")),
                 qPrintable(w.saveStatus()));
        QVERIFY(w.saveStatus().contains(QLatin1String("PFTrack 2011 pixel centres: +0.5 px")));
        QVERIFY2(notes.contains(QLatin1String("track \"Track 01\" is written as \"Track_01\"")),
                 qPrintable(notes));
        QVERIFY(fileContents(target).contains("Track_01  1  0.5  "));
    }

    void helpOpensTheManual()
    {
        MainWindow w;
        QUrl opened;
        w.setUrlOpener([&](const QUrl &url) {
            opened = url;
            return true;
        });
        w.showManual();
        QVERIFY(opened.isLocalFile());
        QVERIFY(opened.toLocalFile().endsWith(QLatin1String("manual.html")));

        // Without a program for pages: where the manual is, and a button that copies it.
        w.setUrlOpener([](const QUrl &) { return false; });
        QString told;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            told = box->text();
            for (QAbstractButton *b : box->buttons())
                if (b->text() == QLatin1String("Copy")) b->click();
        });
        w.showManual();
        QVERIFY2(told.startsWith(QLatin1String("Corvane could not open the manual")),
                 qPrintable(told));
        QVERIFY(told.endsWith(QDir::toNativeSeparators(opened.toLocalFile())));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QDir::toNativeSeparators(opened.toLocalFile()));
    }

    // The manual has a section for every registered format.
    void manualCoversEveryFormat()
    {
        QString manual;
        // An installed program never looks in the folder it was built in.
        const QStringList installed = MainWindow::manualPlaces(QStringLiteral("/usr/local/bin"));
        QCOMPARE(installed.size(), 2);
        QVERIFY(!installed.join(QLatin1Char(' ')).contains(QLatin1String(CORVANE_BUILT_DOCS)));
        for (const QString &place : MainWindow::manualPlaces())
            if (QFileInfo::exists(place)) {
                manual = QString::fromUtf8(fileContents(place));
                break;
            }
        QVERIFY(!manual.isEmpty());
        for (const Format &f : formats())
            QVERIFY2(
                manual.contains(QStringLiteral("<h3 id=\"format-%1\">").arg(QLatin1String(f.id))),
                f.id);
    }
    // Closing asks only when the table changed since its import or save.
    void closingWithUnsavedChangesAsks()
    {
        MainWindow w;
        int asked = 0;
        auto answer = MainWindow::CloseAnswer::Cancel;
        bool couldSave = false;
        w.setCloseQuestion([&](bool canSave) {
            ++asked;
            couldSave = canSave;
            return answer;
        });
        QVERIFY(w.recogniseAndImport(sample, QStringLiteral("3DE v4 Track File (*.txt)")));
        w.show();
        QVERIFY(w.close()); // just imported: nothing to lose
        QCOMPARE(asked, 0);
        w.show();
        w.trackModel()->setData(w.trackModel()->index(0, 0), QStringLiteral("renamed"));
        QVERIFY(!w.close());
        QCOMPARE(asked, 1);
        QVERIFY(!couldSave); // no target applied
        const QString target = dir.filePath(QStringLiteral("closing.txt"));
        w.chooseExportTarget(target, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(7);
        w.applySettings();
        answer = MainWindow::CloseAnswer::Save;
        QVERIFY(w.close());
        QVERIFY(couldSave);
        QVERIFY(fileContents(target).contains("renamed"));
        w.show();
        w.trackModel()->undoStack()->undo(); // the Apply: changed since the save
        answer = MainWindow::CloseAnswer::Discard;
        QVERIFY(w.close());
        QCOMPARE(asked, 3);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
