// SPDX-License-Identifier: Apache-2.0
// The window's stages: the real main window, driven through its slots, on
// the generated file; each stage ends when the window has repainted.
#include "bench.h"

#include "app/mainwindow.h"
#include "app/trackmodel.h"
#include "app/trackview.h"
#include "edit/rowedits.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>

#include <cstdio>

void runWindowStages(const QString &source, const QString &folder)
{
    const QString v4 = QStringLiteral("3DE v4 Track File (*.txt)");
    MainWindow w;
    w.show();
    QApplication::processEvents();
    auto settle = [] { QApplication::processEvents(); };

    stage("window-import", [&] {
        if (!w.recogniseAndImport(source, v4))
            std::fprintf(stderr, "corvane-bench: import failed\n");
        settle();
    });
    // The file again, added to the table (the question answered once it opens).
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&answer] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *button = top->findChild<QPushButton *>(QStringLiteral("addtoCurrentList"));
            if (!button || !button->isVisible()) continue;
            answer.stop();
            button->click();
            return;
        }
    });
    answer.start(10);
    stage("window-import-add", [&] {
        if (!w.recogniseAndImport(source, v4))
            std::fprintf(stderr, "corvane-bench: the addition failed\n");
        settle();
    });
    std::printf("# window table: %d rows after the addition\n", w.trackModel()->rowCount());
    w.trackModel()->undoStack()->undo();
    settle();
    w.chooseExportTarget(QDir(folder).filePath(QStringLiteral("window.txt")), v4);
    w.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(7);
    stage("window-apply", [&] {
        w.applySettings();
        settle();
    });
    const corvane::TrackTable &applied = w.trackModel()->table();
    std::printf("# window rows after Apply: %.1f bytes a row\n",
                double(applied.memoryBytes()) / std::max(applied.rowCount(), 1));
    stage("window-sort", [&] {
        w.findChild<QAction *>(QStringLiteral("actionHigh"))->trigger();
        settle();
    });
    stage("window-save-3de4", [&] {
        w.saveData();
        settle();
    });
    // Apply again with another plate size: the rows change the rule they show by.
    w.findChild<QComboBox *>(QStringLiteral("imageSizeCombo"))->setCurrentIndex(6);
    stage("window-apply-again", [&] {
        w.applySettings();
        settle();
    });
    std::printf("# window rows after Apply again: %.1f bytes a row\n",
                double(applied.memoryBytes()) / std::max(applied.rowCount(), 1));
    std::printf("# window table: %d rows\n", w.trackModel()->rowCount());
    // The window against the core doing the same on the same rows, in this run.
    const struct
    {
        const char *what;
        double window, core;
    } pairs[] = {
        {"import", stageSeconds("window-import"), stageSeconds("read-3de4") + stageSeconds("fill")},
        {"apply", stageSeconds("window-apply"), stageSeconds("apply")},
        {"save", stageSeconds("window-save-3de4"),
         stageSeconds("validate") + stageSeconds("write-3de4")}};
    for (const auto &pair : pairs)
        if (pair.core > 0)
            std::printf("# window/core %s: %.2fx\n", pair.what, pair.window / pair.core);

    w.findChild<QAction *>(QStringLiteral("actionTrackView"))->trigger();
    settle();
    stage("window-track-view", [&] {
        w.trackView()->rebuildNow();
        settle();
    });
    QImage image(1600, 900, QImage::Format_RGB32);
    w.trackView()->canvas()->paintInto(image); // the first paint fits the view
    stage("track-view-paint", [&] { w.trackView()->canvas()->paintInto(image); });
    w.trackView()->hide();

    TrackModel *model = w.trackModel();
    auto deleteAndUndo = [&](const char *name, const std::vector<int> &rows) {
        stage((QByteArray("window-delete-") + name).constData(), [&] {
            model->done(QStringLiteral("Delete Entire Rows"), corvane::deleteRows(*model, rows));
            settle();
        });
        stage((QByteArray("window-undo-delete-") + name).constData(), [&] {
            model->undoStack()->undo();
            settle();
        });
    };
    std::vector<int> everyOther;
    for (int r = 0; r < model->rowCount(); r += 2)
        everyOther.push_back(r);
    deleteAndUndo("rows", everyOther);
    // A few rows picked here and there, each its own run of the table.
    std::vector<int> scattered;
    for (int k = 0; k < 64; ++k)
        scattered.push_back(int(qint64(model->rowCount()) * k / 64) + 1);
    deleteAndUndo("scattered-rows", scattered);
    QString text;
    for (int r = 0; r < 100000; ++r)
        text += QStringLiteral("Pasted_%1\t%2\t%3.25\t-%3.5\n").arg(r / 100).arg(r).arg(r);
    QGuiApplication::clipboard()->setText(text);
    w.table()->selectionModel()->select(model->index(0, 0), QItemSelectionModel::ClearAndSelect);
    stage("window-paste", [&] {
        w.findChild<QAction *>(QStringLiteral("actionPaste"))->trigger();
        settle();
    });
}
