// SPDX-License-Identifier: Apache-2.0
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "export/exporter.h"
#include "formats/registry.h"
#include "guitest.h"
#include "import/dispatch.h"
#include "testdata.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace corvane;

// Step 2 and "SAVE DATA!" in the window.
class TestExportStep : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString blue = QStringLiteral("<p><i><font color=#648caf>Step 2</font></i></p>");

    template <typename T> T *child(MainWindow &w, const char *name)
    {
        return w.findChild<T *>(QLatin1String(name));
    }

    QModelIndex exportEntry(MainWindow &w, int group, int row)
    {
        QAbstractItemModel *m = child<QTreeWidget>(w, "exportFilesTree")->model();
        return group < 0 ? m->index(row, 0) : m->index(row, 0, m->index(group, 0));
    }

private slots:
    void suffixes()
    {
        QCOMPARE(suffixOfFilter(QStringLiteral("PF v5 Track File (*.2dt)")), QStringLiteral("2dt"));
        QCOMPARE(suffixOfFilter(QStringLiteral("Combustion GMask File (*.GMask)")),
                 QStringLiteral("GMask"));
        QCOMPARE(suffixOfFilter(QStringLiteral("MatchMover/Movimento Track File (*.rz2)")),
                 QStringLiteral("rz2"));
    }

    void treeRoad()
    {
        MainWindow w;
        FileRequest request;
        w.setFileChooser(answerWith(QStringLiteral("/tmp/out.2dt"),
                                    QStringLiteral("PF v5 Track File (*.2dt)"), &request));
        w.chooseTargetFromTree(exportEntry(w, 0, 1));
        QCOMPARE(request.caption, QStringLiteral("Save as a PF Track File"));
        QCOMPARE(request.filters,
                 QStringList({"PF 2011 Track File (*.txt)", "PF v5 Track File (*.2dt)",
                              "PF v4 Track File (*.2dt)"}));
        QVERIFY(request.save && request.suffixFromFilter);
        QCOMPARE(child<QLineEdit>(w, "exportFilesText")->text(), QStringLiteral("/tmp/out.2dt"));
        QCOMPARE(child<QLabel>(w, "exportFilesLabel")->text(),
                 QStringLiteral("PF v5 Track File (*.2dt)"));
        QCOMPARE(child<QLabel>(w, "exportFilesLabel")->statusTip(),
                 QStringLiteral("PF v5 Track File (*.2dt)"));
        QCOMPARE(child<QLabel>(w, "step2")->text(), blue);
        QVERIFY(child<QGroupBox>(w, "Settings")->isEnabled());

        // The After Effects entry: mask first, then track.
        w.chooseTargetFromTree(exportEntry(w, 1, 3));
        QCOMPARE(request.caption, QStringLiteral("Save as an After Effects File"));
        QCOMPARE(request.filters,
                 QStringList({"After Effects Mask File (*.txt)", "After Effects Track File (*.txt)",
                              "After Effects Null Layers Script (*.jsx)",
                              "After Effects Corner Pin File (*.txt)"}));

        // Cancelled: nothing changes, but a positive plate enables the predefined setting.
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("100"));
        w.setFileChooser([](QWidget *, const FileRequest &) { return FileChoice(); });
        w.chooseTargetFromTree(exportEntry(w, 0, 0));
        QCOMPARE(child<QLineEdit>(w, "exportFilesText")->text(), QStringLiteral("/tmp/out.2dt"));
        auto *combo = child<QComboBox>(w, "predefinedSettingCombo");
        QVERIFY(combo->isEnabledTo(combo->parentWidget()));

        // A group row opens nothing.
        bool asked = false;
        w.setFileChooser([&](QWidget *, const FileRequest &) {
            asked = true;
            return FileChoice();
        });
        w.chooseTargetFromTree(exportEntry(w, -1, 1));
        QVERIFY(!asked);
    }

    void menuRoad()
    {
        MainWindow w;
        FileRequest request;
        w.setFileChooser(answerWith(QStringLiteral("/tmp/typed"),
                                    QStringLiteral("Nuke Tracker File (*.*)"), &request));
        w.chooseTargetWithDialog();
        QCOMPARE(request.caption, QStringLiteral("Save as"));
        // The twenty, then the formats that joined and that Corvane writes.
        QCOMPARE(request.filters.size(), 28);
        QCOMPARE(request.filters.at(20),
                 QStringLiteral("Flame/Smoke Stabilizer File (*.stabilizer)"));
        QCOMPARE(request.filters.at(21), QStringLiteral("Nuke Script File (*.nk)"));
        QCOMPARE(request.filters.last(), QStringLiteral("mmSolver UV Track File (*.uv)"));
        QCOMPARE(request.directory, QDir::homePath()); // nothing imported yet
        // A name typed without an extension takes the format's.
        QCOMPARE(child<QLineEdit>(w, "exportFilesText")->text(), QStringLiteral("/tmp/typed.txt"));
        QCOMPARE(child<QLineEdit>(w, "exportFilesText")->palette().color(QPalette::Text),
                 QColor(Qt::white));
        QVERIFY(child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
        QCOMPARE(child<QLabel>(w, "step2")->text(), blue);
    }

    // The first Export dialog opens beside the imported file; once it
    // closes with a target, the work goes on in Step 3.
    void dialogOpensBesideTheImportAndStep3Follows()
    {
        QSettings().clear();
        MainWindow w;
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                     QStringLiteral("3DE v4 Track File (*.txt)")));
        w.findChild<QPushButton *>(QStringLiteral("exitButton"))->setFocus();
        FileRequest request;
        w.setFileChooser(answerWith(QDir::temp().filePath(QStringLiteral("beside.txt")),
                                    QStringLiteral("Nuke Tracker File (*.*)"), &request));
        w.chooseTargetWithDialog();
        QCOMPARE(QDir::cleanPath(request.directory),
                 QDir::cleanPath(QFileInfo(samplePath("3de_export_cube.txt")).absolutePath()));
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "plateResWidth"));
    }

    // A corner pin of a table of five tracks asks which four are its corners.
    void cornerPinAsksForItsCorners()
    {
        QTemporaryDir dir;
        MainWindow w;
        QList<TestRow> rows;
        for (int i = 0; i < 5; ++i)
            for (int f = 1; f <= 2; ++f)
                rows.append({QString(QChar(u'a' + i)), f, 10.0 * i + f, 20.0});
        w.trackModel()->replace([&](TrackTable &t) { t = importedTable(rows); });
        const QString target = dir.filePath(QStringLiteral("pin.txt"));
        w.chooseExportTarget(target, QStringLiteral("After Effects Corner Pin File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        QStringList offered;
        static QString notes;
        notes.clear();
        whenModal<QDialog>([&](QDialog *d) {
            if (d->objectName() != QLatin1String("cornerPinDialog")) return d->reject();
            auto *first = d->findChild<QComboBox *>(QStringLiteral("corner0"));
            for (int i = 0; i < first->count(); ++i)
                offered << first->itemText(i);
            const char *corners[] = {"e", "d", "c", "b"};
            for (int i = 0; i < 4; ++i)
                d->findChild<QComboBox *>(QStringLiteral("corner%1").arg(i))
                    ->setCurrentText(QLatin1String(corners[i]));
            d->accept();
            answerMessage(&notes); // what the save noted
        });
        w.saveData();
        // The fifth track's rows are left out, and the save says so.
        QVERIFY2(
            notes.contains(QLatin1String("2 rows of tracks that are not corners were left out")),
            qPrintable(notes));
        QCOMPARE(offered, QStringList({"a", "b", "c", "d", "e"}));
        QVERIFY2(QFile::exists(target), qPrintable(w.saveStatus()));
        const ReadResult back =
            dispatch(target, formatById(QStringLiteral("ae-track"))
                                 ? QStringLiteral("After Effects Track File (*.txt)")
                                 : QString());
        QVERIFY2(back.ok(), qPrintable(back.error));
        QCOMPARE(back.set.count, 8); // four corners of two keys
    }

    void importApplySave()
    {
        MainWindow w;
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                     QStringLiteral("3DE v4 Track File (*.txt)")));
        const QString target = dir.filePath(QStringLiteral("shot.txt"));
        w.chooseExportTarget(target, QStringLiteral("Nuke Tracker File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        QVERIFY(child<QPushButton>(w, "saveDataButton")->isEnabledTo(&w));
        w.saveData();
        QCOMPARE(fileContents(target), QByteArray());
        QByteArray first = fileContents(dir.filePath(QStringLiteral("shot_01.txt")));
        // 3DE's Y points up; Nuke's too: 232.449011732690479 survives both flips to 6 decimals.
        QVERIFY2(first.startsWith("40 407.384758 232.449012\n"), first.left(40).constData());
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("shot_*.txt")}).size(), 8);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // Another user's write-protected file is replaced only when the user
    // says so; a killed save into the folder of a file to import is undone
    // first, and the window says so.
    void protectedTargetsAndKilledSaves()
    {
        const QString folder = dir.filePath(QStringLiteral("protected"));
        QDir().mkpath(folder);
        const QString theirs = writeFile(folder + QStringLiteral("/theirs.txt"), "theirs");
        const QString killed = writeFile(folder + QStringLiteral("/killed.txt"), "new");
        writeFile(folder + QStringLiteral("/.killed.txt.corvane-kept-abcdef"), "old");
        writeFile(folder + QStringLiteral("/.corvane-journal"),
                  "corvane-journal 1\nR killed.txt .killed.txt.corvane-kept-abcdef\nend\n");
        MainWindow w;
        QString said;
        const QString copy = folder + QStringLiteral("/cube.txt");
        QFile::copy(samplePath("3de_export_cube.txt"), copy);
        answerMessage(&said);
        QVERIFY(w.recogniseAndImport(copy, QStringLiteral("3DE v4 Track File (*.txt)")));
        QVERIFY2(said.contains(QLatin1String("stopped before it was done")), qPrintable(said));
        QCOMPARE(fileContents(killed), QByteArray("old"));

        if (::geteuid() != 0 || ::chown(QFile::encodeName(theirs).constData(), 65534, 65534) != 0)
            QSKIP("changing a file's owner needs root");
        ::chmod(QFile::encodeName(theirs).constData(), 0444);
        w.chooseExportTarget(theirs, QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            QString asked;
            whenModal<QMessageBox>([&asked, answer](QMessageBox *box) {
                asked = box->text();
                box->done(answer);
                // After No, the refusal itself is shown.
                static QString refusal;
                if (answer == QMessageBox::No) answerMessage(&refusal);
            });
            w.saveData();
            QTest::qWait(100);
            QVERIFY2(asked.contains(QLatin1String("write-protected")), qPrintable(asked));
            QCOMPARE(fileContents(theirs).startsWith("theirs"), answer == QMessageBox::No);
        }
    }

    // A slow save shows its progress after half a second; while it runs
    // the window takes no input; Escape stops it soon after, nothing is
    // written, and the save line and the table stay.
    void slowSaveCanBeCancelled()
    {
        MainWindow w;
        w.show();
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                     QStringLiteral("3DE v4 Track File (*.txt)")));
        const QString target = dir.filePath(QStringLiteral("cancelled.txt"));
        w.chooseExportTarget(target, QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        w.setSaver([](const TrackTable &table, const ExportParams &params) {
            for (int i = 0; i < 300 && !params.cancel->load(); ++i) {
                params.progress->store(i);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return exportTable(table, params);
        });
        auto *status = child<QLabel>(w, "saveStatusLabel");
        const QString before = status->text();
        QElapsedTimer clock;
        qint64 escapedAt = -1;
        whenModal<QProgressDialog>([&](QProgressDialog *p) {
            escapedAt = clock.elapsed();
            // The table is not the dialog: its keys are not taken.
            auto *table = child<QTableView>(w, "tableDataWidget");
            QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(p, Qt::Key_Escape);
        });
        clock.start();
        w.saveData();
        const qint64 returnedAt = clock.elapsed();
        QVERIFY2(escapedAt >= 400, qPrintable(QString::number(escapedAt)));
        QVERIFY2(returnedAt - escapedAt < 200, qPrintable(QString::number(returnedAt - escapedAt)));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(
            QDir(dir.path()).entryList({QStringLiteral(".cancelled*")}, QDir::Hidden | QDir::Files),
            QStringList());
        QCOMPARE(status->text(), before);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QVERIFY(
            child<QTableView>(w, "tableDataWidget")->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // Saved without a pause, the same window writes the file.
        w.setSaver([](const TrackTable &table, const ExportParams &params) {
            return exportTable(table, params);
        });
        w.saveData();
        QVERIFY(QFile::exists(target));
    }

    // SAVE DATA! writes what the last Apply made: a new target, other
    // settings, new rows or an undone Apply wait for the next Apply; marks
    // do not. The save line counts the rows written.
    void savesNeverStale()
    {
        MainWindow w;
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                     QStringLiteral("3DE v4 Track File (*.txt)")));
        auto *save = child<QPushButton>(w, "saveDataButton");
        const QString target = dir.filePath(QStringLiteral("stale.txt"));
        w.chooseExportTarget(target, QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        QVERIFY(save->isEnabledTo(&w));
        w.chooseExportTarget(dir.filePath(QStringLiteral("stale.se")),
                             QStringLiteral("SynthEyes Track File (*.txt)"));
        QVERIFY(!save->isEnabledTo(&w)); // pixels must not go into a SynthEyes file
        w.applySettings();
        QVERIFY(save->isEnabledTo(&w));
        child<QLineEdit>(w, "par")->setText(QStringLiteral("2.0"));
        QVERIFY(!save->isEnabledTo(&w));
        w.applySettings();
        QVERIFY(save->isEnabledTo(&w));
        w.trackModel()->undoStack()->undo(); // the Apply
        QVERIFY(!save->isEnabledTo(&w));
        w.applySettings();
        w.chooseExportTarget(target, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.applySettings();
        // Marks for the save keep it.
        auto *view = child<QTableView>(w, "tableDataWidget");
        view->selectionModel()->select(
            QItemSelection(w.trackModel()->index(3, 0), w.trackModel()->index(4, 3)),
            QItemSelectionModel::ClearAndSelect);
        w.findChild<QAction *>(QStringLiteral("actionSetAsSelected"))->trigger();
        QVERIFY(save->isEnabledTo(&w));
        w.saveData();
        QVERIFY2(
            w.saveStatus().startsWith(QLatin1String("Saved 2 marked rows of 701 to stale.txt.")),
            qPrintable(w.saveStatus()));
        // A new target: the line told of the last one.
        w.chooseExportTarget(dir.filePath(QStringLiteral("other.txt")),
                             QStringLiteral("3DE v4 Track File (*.txt)"));
        QCOMPARE(w.saveStatus(), QString());
        // Rows added by an import wait for an Apply too.
        whenModal<DialogM>([](DialogM *d) {
            d->findChild<QPushButton *>(QStringLiteral("addtoCurrentList"))->click();
        });
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                     QStringLiteral("3DE v4 Track File (*.txt)")));
        QVERIFY(!save->isEnabledTo(&w));

        // A table of point tracks saved to a shape format: refused, nothing written.
        MainWindow points;
        QVERIFY(points.recogniseAndImport(samplePath("3de_export_cube.txt"),
                                          QStringLiteral("3DE v4 Track File (*.txt)")));
        const QString roto = dir.filePath(QStringLiteral("points.nk"));
        points.chooseExportTarget(roto, QStringLiteral("Nuke RotoPaint File (*.nk)"));
        points.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(7);
        points.applySettings();
        QString message;
        answerMessage(&message);
        points.saveData();
        QVERIFY2(message.contains(QLatin1String("nothing was written")), qPrintable(message));
        QVERIFY(!QFile::exists(roto));
    }

    void saveMessages()
    {
        MainWindow w;
        w.trackModel()->replace([](TrackTable &t) {
            t.setColumnCount(4);
            t.setRowCount(1);
            t.setItemText(0, 0, QStringLiteral("a"));
            t.setItemText(0, 1, QStringLiteral("1"));
            t.setItemText(0, 2, QStringLiteral("2"));
        });
        w.chooseExportTarget(dir.filePath(QStringLiteral("m.txt")),
                             QStringLiteral("3DE v4 Track File (*.txt)"));
        QString message;
        answerMessage(&message);
        w.saveData();
        QCOMPARE(message, QStringLiteral("There is empty cell! Check values! Row 1, Y Coord is "
                                         "empty."));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("m.txt"))));

        w.trackModel()->replace([](TrackTable &t) { t.setItemText(0, 3, QStringLiteral("3")); });
        w.chooseExportTarget(dir.filePath(QStringLiteral("missing/m.txt")),
                             QStringLiteral("3DE v4 Track File (*.txt)"));
        answerMessage(&message);
        w.saveData();
        QVERIFY(message.startsWith(QLatin1String("Could not write")));
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        MainWindow empty;
        empty.chooseExportTarget(dir.filePath(QStringLiteral("e.txt")),
                                 QStringLiteral("3DE v4 Track File (*.txt)"));
        answerMessage(&message);
        empty.saveData();
        QCOMPARE(message, QStringLiteral("There is nothing to export: the table has no rows."));
    }

    void markedRowsAreExported()
    {
        MainWindow w;
        w.trackModel()->replace([](TrackTable &t) {
            t.setColumnCount(4);
            t.setRowCount(3);
            for (int r = 0; r < 3; ++r)
                t.setImportedRow(r, t.internName(QStringLiteral("T")), r, r, r, 0);
            t.setBackground(1, 0, colors::rowMark);
        });
        const QString target = dir.filePath(QStringLiteral("marked.txt"));
        w.chooseExportTarget(target, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.saveData();
        QCOMPARE(fileContents(target), QByteArray("1\nT\n0\n1\n1 1.000000 1.000000\n"));
        // The list is emptied after each save: the mark is read again.
        w.saveData();
        QCOMPARE(fileContents(target), QByteArray("1\nT\n0\n1\n1 1.000000 1.000000\n"));
    }
    // Texts that told of something gone: the save line, Step 1's file after
    // its import is undone, the tree's entry after a target from the menu;
    // counts read as people read them.
    void staleTextsGoAndCountsRead()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QByteArray text = "1\nA\n0\n1200\n";
        for (int f = 1; f <= 1200; ++f)
            text += QByteArray::number(f) + " 10 20\n";
        const QString source = writeFile(dir.filePath(QStringLiteral("long.txt")), text);
        const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
        MainWindow w;
        QVERIFY(w.recogniseAndImport(source, v4));
        w.chooseExportTarget(dir.filePath(QStringLiteral("long_out.txt")), v4);
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        w.applySettings();
        w.saveData();
        QCOMPARE(w.saveStatus(), QStringLiteral("Saved 1,200 rows of 1 track to long_out.txt."));

        auto *tree = child<QTreeWidget>(w, "exportFilesTree");
        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        w.setFileChooser(answerWith(dir.filePath(QStringLiteral("menu.txt")), v4));
        w.chooseTargetWithDialog();
        QVERIFY(tree->selectedItems().isEmpty());

        w.trackModel()->undoStack()->undo(); // the Apply
        w.trackModel()->undoStack()->undo(); // the import
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), QString());
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), QStringLiteral("Select Files:"));
        w.trackModel()->undoStack()->redo();
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), source);
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), v4);
        QLocale::setDefault(QLocale::system());
    }
};

QTEST_MAIN(TestExportStep)
#include "tst_exportstep.moc"
