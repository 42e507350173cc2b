// SPDX-License-Identifier: Apache-2.0
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "guitest.h"
#include "import/dispatch.h"
#include "testdata.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

#include <chrono>
#include <thread>

using namespace corvane;

// Step 1 in the window: the trees, the import-mode question and the fill.
class TestImportStep : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");

    QString file(const char *name, const QByteArray &content)
    {
        return writeFile(dir.filePath(QLatin1String(name)), content);
    }

    template <typename T> T *child(MainWindow &w, const char *name)
    {
        return w.findChild<T *>(QLatin1String(name));
    }
    QString text(MainWindow &w, const char *name) { return child<QLineEdit>(w, name)->text(); }

    // Answers the next message box with button, remembering its text, and
    // then, with notes, closes the one after it (what the import noted).
    void answerQuestion(QMessageBox::StandardButton button, QString *text, QString *notes = nullptr)
    {
        whenModal<QMessageBox>([=](QMessageBox *box) {
            *text = box->text();
            if (QAbstractButton *answer = box->button(button))
                answer->click();
            else
                box->accept(); // a box that asks nothing
            if (notes) answerMessage(notes);
        });
    }

    static QString offerText(const QString &path, const char *refusedName, const char *otherId)
    {
        const Format *other = formatById(QLatin1String(otherId));
        return QStringLiteral("%1: this is not a %2 file; it is a %3 file. Import it as %3?")
            .arg(QFileInfo(path).fileName(), QLatin1String(refusedName),
                 QLatin1String(other->name));
    }

    void answerImportMode(const char *button)
    {
        whenModal<DialogM>(
            [button](DialogM *d) { d->findChild<QPushButton *>(QLatin1String(button))->click(); });
    }

private slots:
    // A format without a reader, or a file that reads as nothing, changes
    // nothing: the table, Step 1 and the settings stay, and the user is told.
    void failedImportsChangeNothing()
    {
        MainWindow w;
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"), v4));
        QString message;
        if (const Format *unread = formatWithoutReader()) {
            answerMessage(&message);
            QString marked = file("p.txt", QByteArray(unread->recognition.marker) + "\n");
            QVERIFY(!w.recogniseAndImport(marked, QLatin1String(unread->importFilter)));
            QCOMPARE(message, QStringLiteral("Reading %1 files is not available yet.")
                                  .arg(QLatin1String(unread->name)));
        }
        // A file that does not read is refused before any question (which
        // would have left its answer).
        w.importModeDialog()->setAnswer(QStringLiteral("not asked"));
        answerMessage(&message);
        QString empty = file("empty.txt", "");
        QVERIFY(!w.recogniseAndImport(empty, v4));
        QCOMPARE(w.importModeDialog()->answer(), QStringLiteral("not asked"));
        QCOMPARE(message, empty + QStringLiteral(": is empty, so it holds no tracks."));
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), samplePath("3de_export_cube.txt"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // A file cut short: the user is asked whether to import what was read.
        QString cut = file("cut.txt", "1\nA\n0\n5\n1 1 1\n2 2 2\n");
        for (auto button : {QMessageBox::No, QMessageBox::Yes}) {
            // The question comes after the file was read, and only when it is imported.
            if (button == QMessageBox::Yes) answerImportMode("newGridList");
            whenModal<QMessageBox>([&](QMessageBox *box) {
                message = box->text();
                box->button(button)->click();
            });
            QCOMPARE(w.recogniseAndImport(cut, v4), button == QMessageBox::Yes);
            QVERIFY(message.contains(QLatin1String("Import the 2 rows that were read?")));
        }
        QCOMPARE(w.trackModel()->rowCount(), 2);
    }

    void treeImportFillsTheTable()
    {
        MainWindow w;
        w.show();
        auto *tree = child<QTreeWidget>(w, "importFilesTree");
        FileRequest request;
        w.setFileChooser(answerWith(samplePath("3de_export_cube.txt"), v4, &request));
        QModelIndex equalizer = tree->model()->index(0, 0, tree->model()->index(0, 0));
        w.importFromTree(equalizer);
        QCOMPARE(request.caption, QStringLiteral("Select a 3D Equalizer File"));
        QCOMPARE(request.filters, QStringList({v4, QStringLiteral("3DE v3 Track File (*.ascii)")}));
        QVERIFY(!request.save);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(child<QLabel>(w, "step1")->text(),
                 QStringLiteral("<p><i><font color=#648caf>Step 1</font></i></p>"));
        QVERIFY(child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), v4);
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->statusTip(), v4);
        QCOMPARE(child<QLineEdit>(w, "importFirstText")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(w, "exportFirstText")->statusTip(), QStringLiteral("1"));
        QCOMPARE(w.trackModel()->index(0, 0).data().toString(), QStringLiteral("01"));
        QCOMPARE(w.trackModel()->index(700, 0).data().toString(), QStringLiteral("08"));
        QCOMPARE(w.trackModel()->index(0, 2).data(Qt::WhatsThisRole).toString(), v4);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // A group row opens no dialog.
        bool asked = false;
        w.setFileChooser([&](QWidget *, const FileRequest &) {
            asked = true;
            return FileChoice();
        });
        w.importFromTree(tree->model()->index(1, 0));
        QVERIFY(!asked);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        // Cancelled: the caption keeps telling what was imported.
        w.importFromTree(equalizer);
        QVERIFY(asked);
        QVERIFY(child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
    }

    // Program conventions: the export first frame follows the programs'
    // frame bases (SynthEyes from 0, 3DE from 1); a typed value stays.
    void exportFirstFollowsFrameBases()
    {
        MainWindow w;
        const QString synthEyes = QStringLiteral("SynthEyes Track File (*.txt)");
        QVERIFY(
            w.recogniseAndImport(file("se.txt", "A 0 0.5 0.5 15\nA 1 0.25 0.5 15\n"), synthEyes));
        auto *exportFirst = child<QLineEdit>(w, "exportFirstText");
        QCOMPARE(exportFirst->text(), QStringLiteral("0")); // no target yet
        w.chooseExportTarget(dir.filePath(QStringLiteral("out.txt")), v4);
        QCOMPARE(exportFirst->text(), QStringLiteral("1"));
        QCOMPARE(exportFirst->statusTip(), QStringLiteral("0")); // frames still count from 0
        auto *conventions = child<QCheckBox>(w, "programConventionsCheck");
        conventions->setChecked(false);
        QCOMPARE(exportFirst->text(), QStringLiteral("0"));
        conventions->setChecked(true);
        QCOMPARE(exportFirst->text(), QStringLiteral("1"));
        w.chooseExportTarget(dir.filePath(QStringLiteral("out.txt")),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        QCOMPARE(exportFirst->text(), QStringLiteral("0")); // Nuke numbers frames as written
        exportFirst->selectAll();
        QTest::keyClicks(exportFirst, QStringLiteral("5"));
        w.chooseExportTarget(dir.filePath(QStringLiteral("out.txt")), v4);
        QCOMPARE(exportFirst->text(), QStringLiteral("5"));
    }

    void wrongKindOfFileIsRefused()
    {
        MainWindow w;
        QString text;
        answerMessage(&text);
        QVERIFY(!w.recogniseAndImport(file("v3.txt", "// 3DE v3\n"), v4));
        QCOMPARE(text, QStringLiteral("v3.txt: This is not a 3DE File! Check type of versions!"));
        QCOMPARE(w.trackModel()->rowCount(), 0);
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), QString());
    }

    // A file the chosen format does not read, where another format of the
    // same program does, is offered as that one: Yes imports it as if its
    // filter had been chosen, No changes nothing.
    void fileOfAnotherFormatIsOffered()
    {
        // Clean, as the window keeps recent files (the samples may lie beyond a "..").
        const QString script = QDir::cleanPath(sharedSample(QStringLiteral("nuke-script/018.nk")));
        const QString rotoPaint = QStringLiteral("Nuke RotoPaint File (*.nk)");
        const QString nukeScript = QStringLiteral("Nuke Script File (*.nk)");
        MainWindow w;
        w.show();
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"), v4));
        QString question;
        answerQuestion(QMessageBox::No, &question);
        QVERIFY(!w.recogniseAndImport(script, rotoPaint));
        QCOMPARE(question, offerText(script, "Nuke RotoPaint", "nuke-script"));
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), samplePath("3de_export_cube.txt"));
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), v4);
        QCOMPARE(w.recentFiles().first().second, v4);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // Yes, from the program's tree entry with the RotoPaint filter.
        auto *tree = child<QTreeWidget>(w, "importFilesTree");
        const QList<QTreeWidgetItem *> nuke = tree->findItems(
            QLatin1String(programOf(*formatById(QStringLiteral("nuke-script")))->importTreeText),
            Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(nuke.size(), 1);
        w.setFileChooser(answerWith(script, rotoPaint));
        question.clear();
        QString notes;
        answerQuestion(QMessageBox::Yes, &question, &notes);
        answerImportMode("newGridList");
        w.importFromTree(tree->indexFromItem(nuke.first()));
        QCOMPARE(question, offerText(script, "Nuke RotoPaint", "nuke-script"));
        QCOMPARE(w.trackModel()->rowCount(), 1128); // 1126 rows of tracks, two still ones
        QVERIFY2(notes.startsWith(script), qPrintable(notes)); // its reader's notes
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), script);
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), nukeScript);
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->statusTip(), nukeScript);
        QCOMPARE(w.trackModel()->index(0, 2).data(Qt::WhatsThisRole).toString(), nukeScript);
        QCOMPARE(w.recentFiles().first(), qMakePair(script, nukeScript));
        QVERIFY(child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
        // Undone, Step 1 shows the file before with its format.
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), v4);
    }

    // A script whose curve is one long line, chosen with a line format's
    // filter, is offered as what it is.
    void longLinedScriptIsOfferedAsWhatItIs()
    {
        QString points = QStringLiteral("1\nT1\n0\n120000\n");
        for (int i = 1; i <= 120000; ++i)
            points += QStringLiteral("%1 %2 %3\n").arg(i).arg(100 + i * 0.001).arg(200.5);
        const QString source = file("long.txt", points.toUtf8());
        const QString script = QFileInfo(source).absolutePath() + QStringLiteral("/long.nk");
        QProcess convert;
        convert.start(QStringLiteral(CORVANE_CONVERT),
                      {QStringLiteral("--to"), QStringLiteral("nuke-script"),
                       QStringLiteral("--plate"), QStringLiteral("1920x1080"), source,
                       QStringLiteral("-o"), script});
        QVERIFY(convert.waitForFinished(60000));
        QCOMPARE(convert.exitCode(), 0);
        MainWindow w;
        w.show();
        QString question;
        answerQuestion(QMessageBox::No, &question);
        QVERIFY(!w.recogniseAndImport(script, v4));
        QCOMPARE(question, offerText(script, "3D Equalizer v4", "nuke-script"));
    }

    // Undo and redo of an import put back the plate, the first frames and
    // the save line that came with each table.
    void undoOfImportRestoresItsPlate()
    {
        const QString first = file("first.txt", "1\nA\n0\n2\n1 10 20\n2 11 21\n");
        const QString second = file("second.txt", "1\nB\n0\n2\n10000 10 20\n10001 11 21\n");
        MainWindow w;
        w.show();
        QVERIFY(w.recogniseAndImport(first, v4));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        const PlateSettings withFirst = w.plateSettings();
        answerImportMode("newGridList");
        QVERIFY(w.recogniseAndImport(second, v4));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("2156"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1804"));
        QCOMPARE(w.plateSettings().importFirst, QStringLiteral("10000"));
        // The Frame column holds the widest frame whole.
        QTableView *table = w.table();
        QVERIFY(table->columnWidth(FrameColumn) >
                table->fontMetrics().horizontalAdvance(QStringLiteral("10000")));
        w.trackModel()->undoStack()->undo();
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), first);
        QCOMPARE(w.plateSettings().importFirst, withFirst.importFirst);
        QCOMPARE(w.plateSettings().exportFirst, withFirst.exportFirst);
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("1920"));
        QCOMPARE(text(w, "plateResHight"), QStringLiteral("1080"));
        w.trackModel()->undoStack()->redo();
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), second);
        QCOMPARE(w.plateSettings().importFirst, QStringLiteral("10000"));
    }

    // A file read into an empty table fills it as it is read (a format that
    // streams): the table, its tips and the plate are the whole reading's,
    // and undo gives back the empty table. Files added to it or read over
    // it as a new list leave it as they leave the whole reading's.
    void streamedImportFillsAsTheWholeReading()
    {
        QByteArray text = "3\n";
        const QList<std::pair<int, int>> tracks{{40000, 7}, {5, 2}, {30000, 100}};
        for (int t = 0; t < tracks.size(); ++t) {
            text +=
                "T" + QByteArray::number(t) + "\n0\n" + QByteArray::number(tracks[t].first) + '\n';
            for (int r = 0; r < tracks[t].first; ++r)
                text += QByteArray::number(tracks[t].second + r) + ' ' +
                        QByteArray::number(10.125 + r * 0.37, 'f', 6) + " -4.5\n";
        }
        const QString path = file("pieces.txt", text);
        auto state = [](MainWindow &w) {
            const TrackTable &t = w.trackModel()->table();
            QStringList out{w.plateSettings().importFirst, w.plateSettings().exportFirst,
                            w.plateSettings().plateWidth, QString::number(t.rowCount())};
            QList<int> rows;
            for (int r = 0; r < t.rowCount(); r += 997)
                rows << r;
            if (t.rowCount() >= 2) rows << t.rowCount() - 2 << t.rowCount() - 1; // an addition's
            for (int r : rows)
                for (int c = 0; c < TrackColumnCount; ++c)
                    for (int role :
                         {Qt::DisplayRole, Qt::ToolTipRole, Qt::StatusTipRole, Qt::WhatsThisRole})
                        out << t.data(r, c, role).toString();
            return out;
        };
        MainWindow streamed, whole;
        whole.setImportReader(
            [](const QString &path, const QString &filter, std::atomic<qint64> *bytes) {
                return dispatch(path, filter, bytes);
            });
        QVERIFY(streamed.recogniseAndImport(path, v4));
        QVERIFY(whole.recogniseAndImport(path, v4));
        QCOMPARE(streamed.trackModel()->table().rowCount(), 70005);
        QCOMPARE(streamed.plateSettings().importFirst, QStringLiteral("2"));
        QCOMPARE(state(streamed), state(whole));
        streamed.trackModel()->undoStack()->undo();
        QCOMPARE(streamed.trackModel()->table().rowCount(), 0);
        streamed.trackModel()->undoStack()->redo();
        QCOMPARE(state(streamed), state(whole));

        // Into a table that has rows: added after them (a small file, then
        // the large one), then as a new list; and each undone.
        const QString other = file("other.txt", "1\nU\n0\n2\n-3 1.0000004 2\n-2 3 4\n");
        const QList<std::pair<const char *, QString>> imports{
            {"addtoCurrentList", other}, {"addtoCurrentList", path}, {"newGridList", other}};
        QList<QStringList> states{state(whole)};
        for (const auto &[answer, input] : imports) {
            for (MainWindow *w : {&streamed, &whole}) {
                answerImportMode(answer);
                QVERIFY(w->recogniseAndImport(input, v4));
            }
            QCOMPARE(state(streamed), state(whole));
            states << state(whole);
            if (states.size() == 2) { // the added rows keep their values in full
                double x = 0;
                QVERIFY(streamed.trackModel()->table().numericCoordinate(70005, XColumn, &x));
                QCOMPARE(x, 1.0000004);
            }
        }
        QCOMPARE(streamed.trackModel()->table().rowCount(), 2);
        for (qsizetype k = states.size() - 2; k >= 0; --k) {
            streamed.trackModel()->undoStack()->undo();
            QCOMPARE(state(streamed), states[k]);
        }
    }

    // A Shake script under either Shake filter whose first-line test refuses
    // it is offered as a Shake script.
    void shakeScriptIsOfferedAsAScript()
    {
        const QString script =
            sharedSample(QStringLiteral("shake-script/two_tracks_in_one_tracker.shk"));
        const QString shakeScript = QStringLiteral("Shake Script File (*.shk)");
        const struct
        {
            const char *filter, *name;
        } refusing[] = {{"Shake RotoShape File (*.ssf)", "Shake RotoShape"},
                        {"Shake Track File (*.txt)", "Shake Track"}};
        for (const auto &chosen : refusing) {
            MainWindow w;
            QString question;
            answerQuestion(QMessageBox::Yes, &question);
            QVERIFY(w.recogniseAndImport(script, QLatin1String(chosen.filter)));
            QCOMPARE(question, offerText(script, chosen.name, "shake-script"));
            QCOMPARE(w.trackModel()->rowCount(), 301);
            QCOMPARE(child<QLabel>(w, "importFilesLabel")->text(), shakeScript);
        }
    }

    // With no other format reading it, the file is refused, by its name.
    void fileNoFormatReadsIsRefusedByName()
    {
        MainWindow w;
        QString message;
        answerMessage(&message);
        const QString notes = file("notes.txt", "hello\nworld\n");
        QVERIFY(!w.recogniseAndImport(notes, QStringLiteral("Shake Track File (*.txt)")));
        QCOMPARE(message, QStringLiteral("notes.txt: This is not a Shake File!"));
        // The reader's own refusal names the file too.
        answerMessage(&message);
        QVERIFY(!w.recogniseAndImport(notes, QStringLiteral("Nuke RotoPaint File (*.nk)")));
        QVERIFY2(message.startsWith(notes + QLatin1Char(':')), qPrintable(message));
        QCOMPARE(w.trackModel()->rowCount(), 0);
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), QString());
    }

    void importModeQuestion()
    {
        MainWindow w;
        w.show();
        const QString a = file("a.txt", "1\nA\n0\n2\n10 1 1\n11 2 2\n");
        const QString b = file("b.txt", "1\nB\n0\n1\n5 3 3\n");
        QVERIFY(w.recogniseAndImport(a, v4));
        QCOMPARE(w.trackModel()->rowCount(), 2);

        // Add to the current list: rows appended, the smaller first frame taken.
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        answerImportMode("addtoCurrentList");
        QVERIFY(w.recogniseAndImport(b, v4));
        QCOMPARE(w.importModeDialog()->findChild<QLabel *>(QStringLiteral("importLabel"))->text(),
                 QStringLiteral("Selected file is  3DE v4 Track File (*.txt)  type!"));
        QCOMPARE(w.trackModel()->rowCount(), 3);
        QCOMPARE(w.importFirstRow(), 2);
        QCOMPARE(w.importEndRow(), 3);
        QCOMPARE(child<QLineEdit>(w, "importFirstText")->text(), QStringLiteral("5"));
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->text(), QStringLiteral("1920"));

        // Cancel imports nothing; so does closing the question (Escape).
        answerImportMode("cancel");
        QVERIFY(!w.recogniseAndImport(a, v4));
        QCOMPARE(w.trackModel()->rowCount(), 3);
        whenModal<DialogM>([](DialogM *d) { QTest::keyClick(d, Qt::Key_Escape); });
        QVERIFY(!w.recogniseAndImport(a, v4));
        QCOMPARE(w.importModeDialog()->answer(), QStringLiteral("cancel"));
        QCOMPARE(w.trackModel()->rowCount(), 3);

        // New list: table replaced, Step 3 values reset (no plate in the file).
        answerImportMode("newGridList");
        QVERIFY(w.recogniseAndImport(a, v4));
        QCOMPARE(w.trackModel()->rowCount(), 2);
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->text(), QStringLiteral("0"));
        // A new list takes its own first frame (10), not the smaller old one.
        QCOMPARE(child<QLineEdit>(w, "importFirstText")->text(), QStringLiteral("10"));
        QCOMPARE(child<QLineEdit>(w, "exportFirstText")->text(), QStringLiteral("10"));
        // Closed after an answer was given before: still Cancel.
        whenModal<DialogM>([](DialogM *d) { d->reject(); });
        QVERIFY(!w.recogniseAndImport(b, v4));
        QCOMPARE(w.trackModel()->rowCount(), 2);
        answerImportMode("newGridList");
        QVERIFY(w.recogniseAndImport(b, v4));
        QCOMPARE(w.trackModel()->rowCount(), 1);
        // Each import is undone as one edit: the new list, then the list it replaced.
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->rowCount(), 2);
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->rowCount(), 3);
    }

    void emptyTableUsesTheRememberedAnswer()
    {
        MainWindow w;
        w.importModeDialog()->setAnswer(QStringLiteral("add"));
        QVERIFY(w.recogniseAndImport(file("c.txt", "1\nC\n0\n1\n1 1 1\n"), v4));
        QCOMPARE(w.trackModel()->rowCount(), 1);
        // RESET VALUES forgets it, so the next import starts a new list.
        w.newList();
        QCOMPARE(w.importModeDialog()->answer(), QString());
        QCOMPARE(w.trackModel()->rowCount(), 0);
        QCOMPARE(w.trackModel()->columnCount(), 0);
        w.trackModel()->undoStack()->undo(); // the emptied list comes back
        QCOMPARE(w.trackModel()->rowCount(), 1);
    }
    // Each dialog opens in the folder and with the filter last used in it,
    // in another window too (the settings outlive the run).
    void dialogsRememberTheirFolders()
    {
        const QString sub = dir.filePath(QStringLiteral("remembered"));
        QDir().mkpath(sub);
        const QString picked = QDir(sub).filePath(QStringLiteral("cube.txt"));
        QFile::copy(samplePath("3de_export_cube.txt"), picked);
        const QString v3 = QStringLiteral("3DE v3 Track File (*.ascii)");
        FileRequest first, second, other;
        {
            MainWindow w;
            w.setFileChooser(answerWith(picked, v4, &first));
            w.importWithDialog();
            QCOMPARE(w.trackModel()->rowCount(), 701);
            // Another dialog keeps its own place.
            w.setFileChooser(answerWith(QString(), v3, &other));
            auto *tree = child<QTreeWidget>(w, "importFilesTree");
            w.importFromTree(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        }
        MainWindow again;
        again.setFileChooser(answerWith(QString(), v4, &second));
        again.importWithDialog();
        QCOMPARE(second.directory, sub);
        QCOMPARE(second.filter, v4);
        QVERIFY(other.directory != sub);
    }
    // A read that has its bytes and parses them says so, and its bar moves
    // on as busy instead of standing at the end.
    void parsingIsAStageOfItsOwn()
    {
        MainWindow w;
        w.show();
        const QString path = samplePath("3de_export_cube.txt");
        w.setImportReader(
            [](const QString &path, const QString &filter, std::atomic<qint64> *bytes) {
                bytes->store(QFileInfo(path).size());
                std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                return dispatch(path, filter, bytes);
            });
        QString label;
        int maximum = -1;
        whenModal<QProgressDialog>([&](QProgressDialog *p) {
            QTimer::singleShot(200, p, [&, p] {
                label = p->labelText();
                maximum = p->maximum();
            });
        });
        QVERIFY(w.recogniseAndImport(path, v4));
        QVERIFY2(label.startsWith(QLatin1String("Reading the 3D Equalizer v4 rows")),
                 qPrintable(label));
        QCOMPARE(maximum, 0); // busy
    }

    // A slow read shows its progress after half a second, centred on the
    // window; Escape stops it at once and leaves the table as it was.
    void slowReadCanBeCancelled()
    {
        MainWindow w;
        w.show();
        QVERIFY(w.recogniseAndImport(samplePath("3de_export_cube.txt"), v4));
        w.setImportReader(
            [](const QString &path, const QString &filter, std::atomic<qint64> *bytes) {
                std::this_thread::sleep_for(std::chrono::seconds(3));
                return dispatch(path, filter, bytes);
            });
        QElapsedTimer clock;
        qint64 escapedAt = -1;
        QPoint offCentre(1000, 1000);
        whenModal<QProgressDialog>([&](QProgressDialog *p) {
            offCentre = p->geometry().center() - w.geometry().center();
            escapedAt = clock.elapsed();
            QTest::keyClick(p, Qt::Key_Escape);
        });
        clock.start();
        const QString other = file("other.txt", "1\nB\n0\n1\n5 3 3\n");
        QVERIFY(!w.recogniseAndImport(other, v4));
        const qint64 returnedAt = clock.elapsed();
        QVERIFY2(escapedAt >= 400, qPrintable(QString::number(escapedAt))); // not at once
        QVERIFY2(returnedAt - escapedAt < 200, qPrintable(QString::number(returnedAt - escapedAt)));
        QVERIFY(offCentre.manhattanLength() < 60);
        QCOMPARE(w.trackModel()->rowCount(), 701);
        QCOMPARE(child<QLineEdit>(w, "importFilesText")->text(), samplePath("3de_export_cube.txt"));
    }
};

QTEST_MAIN(TestImportStep)
#include "tst_importstep.moc"
