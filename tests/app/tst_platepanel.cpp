// SPDX-License-Identifier: Apache-2.0
#include "app/dialogm.h"
#include "app/mainwindow.h"
#include "app/progressrunner.h"
#include "app/trackmodel.h"
#include "app/trackview.h"
#include "guitest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace corvane;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_TEST_UNDER_SANITIZERS
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_TEST_UNDER_SANITIZERS
#endif

// Under the sanitizers each allocation may wait on the system's mapping of
// memory for another thread, and in the fuzzing build every branch bumps
// counters all threads share: pauses there measure the instruments, so
// they are shown but held to no limit.
#ifdef CORVANE_TEST_UNDER_SANITIZERS
constexpr bool pausesMeanSomething = false;
#else
constexpr bool pausesMeanSomething = true;
#endif

// Step 3 in the window: the fields, combos, colours, resets and Apply.
class TestPlatePanel : public QObject
{
    Q_OBJECT

    const QString blue = QStringLiteral("<p><i><font color=#648caf>Step 3</font></i></p>");
    const QString brown = QStringLiteral("<p><i><font color=#9b7350>Step 3</font></i></p>");
    const QString dark = QStringLiteral("* { background-color: rgb(40,40,40) }");
    const QString missing = QStringLiteral("* { background-color: rgb(155,115,80) }");

    template <typename T> T *child(MainWindow &w, const char *name)
    {
        return w.findChild<T *>(QLatin1String(name));
    }
    // Enabled on its own account (Step 3 as a whole may still be disabled).
    bool enabled(MainWindow &w, const char *name)
    {
        QWidget *widget = child<QWidget>(w, name);
        return widget->isEnabledTo(widget->parentWidget());
    }
    QString text(MainWindow &w, const char *name) { return child<QLineEdit>(w, name)->text(); }
    QStringList window(MainWindow &w)
    {
        return {text(w, "X0"), text(w, "X1"), text(w, "Y0"), text(w, "Y1")};
    }

    void addRow(MainWindow &w, const char *name, int frame, double x, double y,
                const QString &source)
    {
        w.trackModel()->replace([&](TrackTable &t) {
            t.setColumnCount(4);
            int r = t.rowCount();
            t.setRowCount(r + 1);
            t.setImportedRow(r, t.internName(QLatin1String(name)), frame, x, y,
                             t.internSource(source));
        });
    }

private slots:
    void imageSizeFillsThePlate()
    {
        MainWindow w;
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("1920"));
        QCOMPARE(text(w, "plateResHight"), QStringLiteral("1080"));
        QCOMPARE(window(w), QStringList({"0", "1920", "0", "1080"}));
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->styleSheet(), dark);
        QCOMPARE(child<QLineEdit>(w, "plateResHight")->styleSheet(), dark);
        QVERIFY(enabled(w, "applyAllButton"));
        QVERIFY(enabled(w, "predefinedSettingCombo"));
        QCOMPARE(child<QLabel>(w, "step3")->text(), blue);
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(1);
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("640"));
        QCOMPARE(text(w, "plateResHight"), QStringLiteral("480"));
    }

    void sameSizeAgainStaysBrownOnAnUnchangedField()
    {
        MainWindow w;
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->styleSheet(),
                 missing); // text did not change
        QCOMPARE(child<QLineEdit>(w, "plateResHight")->styleSheet(), dark);
    }

    void predefinedSettings()
    {
        MainWindow w;
        auto *combo = child<QComboBox>(w, "predefinedSettingCombo");
        combo->setCurrentIndex(2); // plate fields read "0": nothing happens
        QCOMPARE(window(w), QStringList({"0", "0", "0", "0"}));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        combo->setCurrentIndex(0);
        combo->setCurrentIndex(2);
        QCOMPARE(window(w), QStringList({"0", "1920", "1080", "0"}));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("720"));
        QCOMPARE(window(w), QStringList({"0", "1920", "1080", "720"}));
        combo->setCurrentIndex(5);
        QCOMPARE(window(w), QStringList({"0", "960", "0", "360"}));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1023"));
        combo->setCurrentIndex(6);
        QCOMPARE(window(w), QStringList({"0", "255", "0", "180"}));
        combo->setCurrentIndex(8);
        QCOMPARE(window(w), QStringList({"-1", "1", "-1", "1"}));
        // A non-positive plate disables Apply and the combo.
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("0"));
        QVERIFY(!enabled(w, "applyAllButton"));
        QVERIFY(!enabled(w, "predefinedSettingCombo"));
        QCOMPARE(child<QLabel>(w, "step3")->text(), brown);
    }

    void resets()
    {
        MainWindow w;
        addRow(w, "a", 1, 1, 1, QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        child<QLineEdit>(w, "par")->setText(QStringLiteral("2.0"));
        child<QLineEdit>(w, "importFirstText")->setText(QString());
        child<QLineEdit>(w, "exportFirstText")->setText(QStringLiteral("5"));
        w.resetValues();
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("0"));
        QCOMPARE(window(w), QStringList({"0", "0", "0", "0"}));
        QCOMPARE(text(w, "exportFirstText"), QString());
        QCOMPARE(text(w, "par"), QStringLiteral("1.0"));
        QCOMPARE(child<QComboBox>(w, "imageSizeCombo")->currentIndex(), 0);
        QCOMPARE(child<QLineEdit>(w, "plateResWidth")->styleSheet(), missing);
        QVERIFY(!enabled(w, "applyAllButton"));
        QCOMPARE(w.trackModel()->rowCount(), 1);

        child<QLineEdit>(w, "importFirstText")->setText(QStringLiteral("12"));
        w.chooseExportTarget(QStringLiteral("/tmp/x.txt"),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        QVERIFY(child<QGroupBox>(w, "Settings")->isEnabled());
        w.newList();
        QCOMPARE(child<QLabel>(w, "exportFilesLabel")->text(), QStringLiteral("Select Files:"));
        QCOMPARE(text(w, "exportFilesText"), QString());
        QCOMPARE(text(w, "importFirstText"), QString());
        QVERIFY(!child<QGroupBox>(w, "Settings")->isEnabled());
        QVERIFY(!child<QTreeWidget>(w, "exportFilesTree")->isEnabled());
        QCOMPARE(w.trackModel()->rowCount(), 0);
        QCOMPARE(child<QLabel>(w, "step2")->text(),
                 QStringLiteral("<p><i><font color=#9b7350>Step 2</font></i></p>"));
    }

    void applyConvertsAndEnablesSave()
    {
        MainWindow w;
        addRow(w, "a", 101, 100, 200, QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QCheckBox>(w, "programConventionsCheck")->setChecked(false); // the files' rules
        w.chooseExportTarget(QStringLiteral("/tmp/x.txt"),
                             QStringLiteral("SynthEyes Track File (*.txt)"));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        child<QLineEdit>(w, "exportFirstText")->setStatusTip(QStringLiteral("101"));
        child<QLineEdit>(w, "exportFirstText")->setText(QStringLiteral("1"));
        w.applySettings();
        QCOMPARE(w.trackModel()->index(0, 2).data().toString(), QStringLiteral("-0.895833"));
        QCOMPARE(w.trackModel()->index(0, 1).data().toString(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(w, "exportFirstText")->statusTip(), QStringLiteral("1"));
        QVERIFY(enabled(w, "saveDataButton"));
        w.applySettings(); // again: nothing moves
        QCOMPARE(w.trackModel()->index(0, 1).data().toString(), QStringLiteral("1"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // Undo takes both Applies back to the imported row.
        w.trackModel()->undoStack()->undo();
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->index(0, 2).data().toString(), QStringLiteral("100.000000"));
        QCOMPARE(w.trackModel()->index(0, 1).data().toString(), QStringLiteral("101"));
        w.trackModel()->undoStack()->redo();
        QCOMPARE(w.trackModel()->index(0, 2).data().toString(), QStringLiteral("-0.895833"));
    }

    // A slow Apply shows its progress after half a second; Escape leaves at
    // once with the table, the undo history and Save as they were, and the
    // conversion, when it ends, is thrown away.
    void slowApplyCanBeCancelled()
    {
        MainWindow w;
        w.show();
        addRow(w, "a", 101, 100, 200, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.chooseExportTarget(QStringLiteral("/tmp/x.txt"),
                             QStringLiteral("SynthEyes Track File (*.txt)"));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        auto finished = std::make_shared<std::atomic<bool>>(false);
        w.setApplier([finished](TrackTable &table, const ApplyParams &params) {
            params.progress->store(100);
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            ApplyResult result = applySettings(table, params);
            *finished = true;
            return result;
        });
        const int steps = w.trackModel()->undoStack()->count();
        QElapsedTimer clock;
        qint64 escapedAt = -1;
        whenModal<QProgressDialog>([&](QProgressDialog *p) {
            escapedAt = clock.elapsed();
            QTest::keyClick(p, Qt::Key_Escape);
        });
        clock.start();
        w.applySettings();
        const qint64 returnedAt = clock.elapsed();
        QVERIFY2(escapedAt >= 400, qPrintable(QString::number(escapedAt)));
        QVERIFY2(returnedAt - escapedAt < 200, qPrintable(QString::number(returnedAt - escapedAt)));
        QVERIFY(!*finished);
        QCOMPARE(w.trackModel()->index(0, 2).data().toString(), QStringLiteral("100.000000"));
        QCOMPARE(w.trackModel()->undoStack()->count(), steps);
        QVERIFY(!enabled(w, "saveDataButton"));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(*finished, 5000);
        QTest::qWait(50);
        QCOMPARE(w.trackModel()->index(0, 2).data().toString(), QStringLiteral("100.000000"));
    }

    // Work that counts nothing (a sort, a copy of the table) shows a busy
    // bar, not one that stands at 0 %.
    void workThatCountsNothingShowsABusyBar()
    {
        MainWindow w;
        w.show();
        ProgressRunner runner(&w);
        int maximum = -1;
        bool visible = false;
        whenModal<QProgressDialog>([&](QProgressDialog *p) {
            QTimer::singleShot(100, p, [&, p] {
                maximum = p->maximum();
                visible = p->isVisible();
            });
        });
        QVERIFY(runner.run({QStringLiteral("Sorting"), QStringLiteral("Sorting 3 rows"), QString(),
                            0, ProgressRunner::AfterCancel::Wait},
                           [](const std::atomic<bool> &, std::atomic<qint64> &) {
                               std::this_thread::sleep_for(std::chrono::milliseconds(900));
                           }));
        QVERIFY(visible);
        QCOMPARE(maximum, 0);
    }

    // Undo and redo of Apply show the settings the table was made with.
    void undoOfApplyRestoresThePanel()
    {
        MainWindow w;
        addRow(w, "a", 1, 100, 200, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.chooseExportTarget(QStringLiteral("/tmp/x.txt"),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        w.applySettings();
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("720"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("576"));
        child<QLineEdit>(w, "par")->setText(QStringLiteral("1.09"));
        w.applySettings();
        w.trackModel()->undoStack()->undo();
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("1920"));
        QCOMPARE(text(w, "plateResHight"), QStringLiteral("1080"));
        QCOMPARE(text(w, "par"), QStringLiteral("1.0"));
        QCOMPARE(window(w), QStringList({"0", "1920", "0", "1080"}));
        w.trackModel()->undoStack()->redo();
        QCOMPARE(text(w, "plateResWidth"), QStringLiteral("720"));
        QCOMPARE(text(w, "par"), QStringLiteral("1.09"));
        QCOMPARE(window(w), QStringList({"0", "720", "0", "576"}));
        // Redone, what Apply made may be saved again; undone, it may not.
        auto *save = child<QPushButton>(w, "saveDataButton");
        QVERIFY(save->isEnabled());
        w.trackModel()->undoStack()->undo();
        QVERIFY(!save->isEnabled());
        w.trackModel()->undoStack()->redo();
        QVERIFY(save->isEnabled());
    }

    // Importing and applying a large table keep the window's event loop
    // turning: a timer goes on firing while rows are filled, copied and converted.
    void largeTablesKeepTheWindowLive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.txt"));
        {
            const int tracks = 300, frames = 10000;
            QByteArray text = QByteArray::number(tracks) + '\n';
            for (int t = 0; t < tracks; ++t) {
                text += "T" + QByteArray::number(t) + "\n0\n" + QByteArray::number(frames) + '\n';
                for (int f = 1; f <= frames; ++f)
                    text += QByteArray::number(f) + ' ' + QByteArray::number(f % 1920) + ".25 " +
                            QByteArray::number(t) + ".5\n";
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        MainWindow w;
        w.show();
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer beat;
        beat.setInterval(10);
        connect(&beat, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        auto watch = [&](const char *what, const std::function<void()> &work) {
            longest = 0;
            clock.start();
            last = 0;
            beat.start();
            work();
            beat.stop();
            longest = std::max(longest, clock.elapsed() - last); // the stretch after the last event
            qDebug("%s: longest pause of the event loop %lld ms", what, longest);
            if (pausesMeanSomething) QVERIFY2(longest < 200, qPrintable(QString::number(longest)));
        };
        const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
        watch("import", [&] { QVERIFY(w.recogniseAndImport(path, v4)); });
        QCOMPARE(w.trackModel()->rowCount(), 3000000);
        // The track view goes through the rows on a worker.
        QAction *trackView = w.findChild<QAction *>(QStringLiteral("actionTrackView"));
        watch("track view", [&] { trackView->trigger(); });
        QCOMPARE(w.trackView()->paths().tracks().size(), size_t(300));
        trackView->trigger(); // hidden again
        w.chooseExportTarget(dir.filePath(QStringLiteral("live.txt")),
                             QStringLiteral("Nuke Tracker File (*.txt)"));
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920"));
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        watch("apply", [&] { w.applySettings(); });
        QVERIFY(child<QPushButton>(w, "saveDataButton")->isEnabled());
        // The status tip: pixels from the top once converted.
        auto pixelY = [&] {
            return w.trackModel()->index(0, 3).data(Qt::StatusTipRole).toString();
        };
        const QString converted = pixelY();
        w.trackModel()->undoStack()->undo();
        const QString first = pixelY();
        QVERIFY(first != converted);
        const QString lastY = w.trackModel()->index(2999999, 3).data(Qt::StatusTipRole).toString();
        child<QLineEdit>(w, "plateResWidth")->setText(QStringLiteral("1920")); // undone with it
        child<QLineEdit>(w, "plateResHight")->setText(QStringLiteral("1080"));
        // Cancelled between its slices, Apply takes back the rows it converted.
        const int steps = w.trackModel()->undoStack()->count();
        QTimer canceller;
        canceller.setInterval(0);
        connect(&canceller, &QTimer::timeout, [&] {
            if (pixelY() == first) return;
            for (QWidget *top : QApplication::topLevelWidgets())
                if (auto *progress = qobject_cast<QProgressDialog *>(top)) progress->cancel();
            canceller.stop();
        });
        canceller.start();
        w.applySettings();
        QVERIFY(!canceller.isActive());
        QCOMPARE(pixelY(), first);
        QCOMPARE(w.trackModel()->index(2999999, 3).data(Qt::StatusTipRole).toString(), lastY);
        QCOMPARE(w.trackModel()->undoStack()->count(), steps);
        w.trackModel()->undoStack()->redo();
        QCOMPARE(pixelY(), converted);
        whenModal<DialogM>([](DialogM *d) {
            d->findChild<QPushButton *>(QStringLiteral("addtoCurrentList"))->click();
        });
        watch("addition", [&] { QVERIFY(w.recogniseAndImport(path, v4)); });
        QCOMPARE(w.trackModel()->rowCount(), 6000000);
        w.trackModel()->undoStack()->undo();
        QCOMPARE(w.trackModel()->rowCount(), 3000000);
    }

    void applyMessages()
    {
        MainWindow w;
        addRow(w, "Shape01", 1, 1, 1, QStringLiteral("3DE v4 Track File (*.txt)"));
        w.chooseExportTarget(QStringLiteral("/tmp/x.nk"),
                             QStringLiteral("Nuke RotoPaint File (*.nk)"));
        QString message;
        answerMessage(&message);
        w.applySettings(); // plate 0
        QCOMPARE(message, QStringLiteral("Plate resolution must be greater than zero!"));
        QCOMPARE(w.trackModel()->index(0, 3).data().toString(), QStringLiteral("1.000000"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        answerMessage(&message);
        w.applySettings();
        QCOMPARE(
            message,
            QStringLiteral(
                "Attention!  Shape name must be like \"Shape01_Track_1\"  or  \"S01_Track_1\"\n"
                " It'd be corrected with 'Track Names(Ctrl+T)' and 'Rename(Ctrl+R)' tools!"));
        QVERIFY(!enabled(w, "saveDataButton"));
        QCOMPARE(w.trackModel()->index(0, 3).data().toString(),
                 QStringLiteral("1.000000")); // flipped twice
    }

    void sortFromTheMenu()
    {
        MainWindow w;
        addRow(w, "B", 2, 0, 0, QString());
        addRow(w, "A", 10, 0, 0, QString());
        addRow(w, "A", 9, 0, 0, QString());
        TrackModel *m = w.trackModel();
        m->table().setBackground(0, NameColumn, colors::rowMark); // B marked
        w.findChild<QAction *>(QStringLiteral("actionLow"))->trigger();
        QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("9"));
        QVERIFY(!m->table().isMarked(2)); // the sort gives each column its colour
        w.findChild<QAction *>(QStringLiteral("actionHigh"))->trigger();
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("B"));
        // Undone, the order and the mark come back; redone, they go again.
        m->undoStack()->undo();
        m->undoStack()->undo();
        QCOMPARE(m->index(0, 0).data().toString(), QStringLiteral("B"));
        QCOMPARE(m->index(2, 1).data().toString(), QStringLiteral("9"));
        QVERIFY(m->table().isMarked(0));
        m->undoStack()->redo();
        QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("9"));
        QVERIFY(!m->table().isMarked(2));
    }

    // Apply and the sorts keep the user's selection and current cell on their rows.
    void selectionSurvivesApplyAndSort()
    {
        MainWindow w;
        addRow(w, "B", 2, 5, 6, QStringLiteral("3DE v4 Track File (*.txt)"));
        addRow(w, "A", 1, 7, 8, QStringLiteral("3DE v4 Track File (*.txt)"));
        addRow(w, "C", 3, 9, 9, QStringLiteral("3DE v4 Track File (*.txt)"));
        auto *view = child<QTableView>(w, "tableDataWidget");
        QItemSelectionModel *selection = view->selectionModel();
        TrackModel *model = w.trackModel();
        view->setCurrentIndex(model->index(1, 2)); // A's X
        selection->select(model->index(0, 0), QItemSelectionModel::Select);
        w.chooseExportTarget(QStringLiteral("/tmp/x.txt"),
                             QStringLiteral("3DE v4 Track File (*.txt)"));
        child<QComboBox>(w, "imageSizeCombo")->setCurrentIndex(7);
        w.applySettings();
        QCOMPARE(view->currentIndex(), model->index(1, 2));
        QVERIFY(selection->isSelected(model->index(0, 0)));
        w.findChild<QAction *>(QStringLiteral("actionLow"))->trigger(); // A, B, C
        QCOMPARE(view->currentIndex(), model->index(0, 2));
        QCOMPARE(view->currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("A"));
        QVERIFY(selection->isSelected(model->index(1, 0))); // B's name
        QVERIFY(!selection->isSelected(model->index(0, 0)));
    }
};

QTEST_MAIN(TestPlatePanel)
#include "tst_platepanel.moc"
