// SPDX-License-Identifier: Apache-2.0
// Step 2 of the main window: choosing the target, and "SAVE DATA!".
#include "busycursor.h"
#include "counting.h"
#include "mainwindow.h"
#include "trackmodel.h"

#include "export/exporter.h"
#include "formats/registry.h"
#include "settings/platesettings.h"
#include "table/numbers.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTreeWidget>
#include <QUndoStack>

using namespace corvane;

void MainWindow::chooseExportTarget(const QString &path, const QString &formatFilter)
{
    if (formatFilter != exportFilesLabel->statusTip() || path != exportFilesText->text())
        applyIsStale();
    exportFilesText->setText(path);
    exportFilesLabel->setText(formatFilter);
    exportFilesLabel->setStatusTip(formatFilter);
    // The last save's line told of another target.
    saveStatusLabel->clear();
    saveStatusLabel->setToolTip(QString());
    bool chosen = !exportFilesText->text().isEmpty();
    setStepCaption(step2, 2, chosen);
    Settings->setEnabled(chosen);
    followFrameBases();
}

void MainWindow::on_exportFilesTree_doubleClicked(const QModelIndex &index)
{
    QString text = index.data(Qt::DisplayRole).toString();
    if (text.contains(QLatin1String("Software"))) return;
    const Program *program = programForTreeText(text);
    FileRequest request;
    request.caption = program ? QLatin1String(program->exportCaption) : QString();
    request.filters =
        program ? exportFiltersText(*program).split(QStringLiteral(";;")) : QStringList();
    request.save = true;
    request.suffixFromFilter = true;
    FileChoice choice = chooseFile(request);
    const QString &path = choice.path;
    const QString &filter = choice.filter;
    if (!path.isNull()) chooseExportTarget(path, filter);
    if (toInt(plateResWidth->text()) > 0) predefinedSettingCombo->setEnabled(true);
}

void MainWindow::on_exportFilesAction_triggered()
{
    FileRequest request;
    request.caption = QStringLiteral("Save as");
    request.filters = writableFiltersText().split(QStringLiteral(";;"));
    request.save = true;
    request.directory = QDir::rootPath();
    FileChoice choice = chooseFile(request);
    QString path = choice.path;
    const QString &filter = choice.filter;
    if (path.isNull()) return;
    // A name typed without an extension takes the format's, as on the tree's road
    // (where the dialog adds it; these filters may name "*.*").
    const Format *format = formatForFilter(filter);
    if (format && !path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + format->fileExtension();
    QPalette white = exportFilesText->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        white.setBrush(group, QPalette::Text, QBrush(Qt::white, Qt::SolidPattern));
    exportFilesText->setPalette(white);
    chooseExportTarget(path, filter);
    exportFilesTree->clearSelection(); // the tree's entry is no longer the target
    if (!exportFilesText->text().isEmpty()) exportFilesTree->setEnabled(true);
}

// The save on a worker thread under a progress dialog; Cancel stops it and
// every file stays as it was.
ExportResult MainWindow::runSave(const ExportParams &params)
{
    ExportResult result;
    const TrackTable &table = m_model->table();
    if (table.hasFormulas()) {
        // Formulas keep their values as they are read: read on this thread only.
        BusyCursor busy;
        return m_saver(table, params);
    }
    const ProgressRun run{QStringLiteral("Saving..."),
                          QStringLiteral("Saving %1").arg(QFileInfo(params.targetPath).fileName()),
                          QString(), 1000, AfterCancel::Wait};
    runWithProgress(run, [&](const std::atomic<bool> &cancel, std::atomic<qint64> &done) {
        ExportParams running = params;
        running.cancel = &cancel;
        running.progress = &done;
        result = m_saver(table, running);
    });
    return result;
}

bool MainWindow::askReplaceProtected(const QString &path)
{
    QMessageBox box(QMessageBox::Question, QString(),
                    QStringLiteral("\"%1\" is write-protected and belongs to another user.\n\n"
                                   "Replace it?")
                        .arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    box.setPalette(QApplication::palette());
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::on_saveDataButton_clicked()
{
    Validation validation = validateForExport(m_model->table());
    if (!validation.ok()) {
        showMessage(validation.error);
        return;
    }
    m_exportRows.append(validation.markedRows);

    ExportParams params =
        exportParams(plateSettings(), exportFilesLabel->statusTip(), exportFilesText->text());
    params.rows = m_exportRows;
    params.inputs = m_inputs;
    ExportResult result = runSave(params);
    // Another user's write-protected file is replaced only when the user says so.
    if (!result.writeProtected.isEmpty() && askReplaceProtected(result.writeProtected)) {
        params.replaceProtected = true;
        result = runSave(params);
    }
    if (!result.recovered.isEmpty())
        showMessage(result.recovered.join(QStringLiteral("\n\n")), QMessageBox::Information);
    if (result.error == QLatin1String(saveCancelledMessage)) {
        m_exportRows.clear(); // nothing was written; the table and the save line stay
        return;
    }
    m_exportRows.clear();
    if (!result.ok()) {
        showMessage(result.error, QMessageBox::Warning);
        return;
    }
    m_model->undoStack()->setClean(); // what the table holds is in a file
    const QString target = QFileInfo(exportFilesText->text()).fileName();
    const QString rows = QStringLiteral("rows");
    QString summary =
        !params.rows.isEmpty() && params.rows.size() < m_model->rowCount()
            ? QStringLiteral("Saved %1 of %2 to %3.")
                  .arg(counted(result.rows, QStringLiteral("marked row"),
                               QStringLiteral("marked rows")),
                       QLocale().toString(m_model->rowCount()), target)
            : QStringLiteral("Saved %1 of %2 to %3.")
                  .arg(counted(result.rows, QStringLiteral("row"), rows),
                       counted(result.tracks, QStringLiteral("track"), QStringLiteral("tracks")),
                       target);
    if (!result.trackFiles.isEmpty()) {
        QStringList files;
        for (const TrackFile &file : result.trackFiles)
            files << QFileInfo(file.path).fileName();
        const int shown = 8;
        summary += QStringLiteral("\nOne file per track: %1")
                       .arg(files.mid(0, shown).join(QStringLiteral(", ")));
        if (files.size() > shown)
            summary += QStringLiteral(" and %1 more").arg(QLocale().toString(files.size() - shown));
        summary += QLatin1Char('.');
    }
    if (!result.renamed.isEmpty())
        summary += QStringLiteral("\n%1 renamed: the format cannot hold %2 as they are.")
                       .arg(counted(result.renamed.size(), QStringLiteral("track"),
                                    QStringLiteral("tracks")),
                            result.renamed.size() == 1 ? QStringLiteral("its name")
                                                       : QStringLiteral("their names"));
    if (!m_applyNotes.isEmpty())
        summary +=
            QStringLiteral("\nConventions: %1.").arg(m_applyNotes.join(QStringLiteral("; ")));
    saveStatusLabel->setText(summary);
    saveStatusLabel->setToolTip(summary);
    QStringList notes = result.notes;
    QStringList numbered;
    for (const TrackFile &file : result.trackFiles)
        if (file.numbered || file.shortened)
            numbered
                << QStringLiteral("%1  →  %2").arg(file.track, QFileInfo(file.path).fileName());
    if (!numbered.isEmpty()) {
        const int shown = 20;
        QString text = QStringLiteral("Some tracks' files could not be named exactly after "
                                      "them (a name shared with another track's file, or too "
                                      "long for a file name):\n\n") +
                       numbered.mid(0, shown).join(QLatin1Char('\n'));
        if (numbered.size() > shown)
            text += QStringLiteral("\n… and %1 more").arg(numbered.size() - shown);
        notes << text;
    }
    if (!result.renamed.isEmpty()) {
        const int shown = 20;
        QStringList lines;
        for (const RenamedTrack &track : result.renamed.mid(0, shown))
            lines << renamedNote(track, exportFilesLabel->statusTip());
        if (result.renamed.size() > shown)
            lines << QStringLiteral("… and %1 more").arg(result.renamed.size() - shown);
        notes << lines.join(QLatin1Char('\n'));
    }
    if (!notes.isEmpty()) showMessage(notes.join(QStringLiteral("\n\n")), QMessageBox::Information);
}
