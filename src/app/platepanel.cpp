// SPDX-License-Identifier: Apache-2.0
// Step 3 of the main window: the plate settings, Apply, the resets and sorting.
#include "busycursor.h"
#include "counting.h"
#include "dialogm.h"
#include "look.h"
#include "mainwindow.h"
#include "trackmodel.h"

#include "edit/sort.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/numbers.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <memory>

using namespace corvane;

void MainWindow::on_imageSizeCombo_currentIndexChanged()
{
    auto size = imageSize(imageSizeCombo->currentIndex());
    if (!size) return;
    applyAllButton->setEnabled(true);
    setStepCaption(step3, 3, true);
    plateResWidth->setStyleSheet(QLatin1String(look::plateMissingStyle));
    plateResHight->setStyleSheet(QLatin1String(look::plateMissingStyle));
    // A changed text runs its text-changed slot, which turns the field dark again.
    plateResWidth->setText(size->first);
    plateResHight->setText(size->second);
}

// A plate field changed: a non-positive value stops Step 3; a positive one
// is copied into its side of the target window (X1 or Y1), and with both
// values positive Step 3 is ready.
void MainWindow::plateFieldChanged(QLineEdit *field, QLineEdit *other, QLineEdit *windowSide)
{
    if (toInt(field->text()) <= 0) {
        setStepCaption(step3, 3, false);
        field->setStyleSheet(QLatin1String(look::plateMissingStyle));
        applyAllButton->setEnabled(false);
        predefinedSettingCombo->setEnabled(false);
        return;
    }
    if (toInt(other->text()) > 0) {
        setStepCaption(step3, 3, true);
        applyAllButton->setEnabled(true);
        predefinedSettingCombo->setEnabled(true);
    }
    field->setStyleSheet(QLatin1String(look::plateSetStyle));
    windowSide->setText(field->text());
}

void MainWindow::on_plateResWidth_textChanged()
{
    plateFieldChanged(plateResWidth, plateResHight, X1);
    showPlateInTrackView();
}

void MainWindow::on_plateResHight_textChanged()
{
    plateFieldChanged(plateResHight, plateResWidth, Y1);
    showPlateInTrackView();
}

void MainWindow::on_predefinedSettingCombo_currentIndexChanged()
{
    if (plateResWidth->text() == QLatin1String("0") || plateResHight->text() == QLatin1String("0"))
        return;
    applyAllButton->setEnabled(true);
    setStepCaption(step3, 3, true);
    auto window = predefinedWindow(predefinedSettingCombo->currentIndex(), plateResWidth->text(),
                                   plateResHight->text());
    if (!window) return;
    X0->setText(window->x0);
    X1->setText(window->x1);
    Y0->setText(window->y0);
    Y1->setText(window->y1);
}

PlateSettings MainWindow::plateSettings() const
{
    PlateSettings s;
    s.plateWidth = plateResWidth->text();
    s.plateHeight = plateResHight->text();
    s.imageSizeIndex = imageSizeCombo->currentIndex();
    s.predefinedIndex = predefinedSettingCombo->currentIndex();
    s.x0 = X0->text();
    s.x1 = X1->text();
    s.y0 = Y0->text();
    s.y1 = Y1->text();
    s.pixelAspect = par->text();
    s.importFirst = importFirstText->text();
    s.exportFirst = exportFirstText->text();
    s.exportFirstTip = exportFirstText->statusTip();
    s.importFilter = m_importFirstFilter;
    s.programConventions = programConventionsCheck->isChecked();
    s.exportFirstTyped = m_exportFirstTyped;
    return s;
}

void MainWindow::showPlateSettings(const PlateSettings &s)
{
    // The plate fields' own slots keep X1, Y1 and Step 3's state in step.
    plateResWidth->setText(s.plateWidth);
    plateResHight->setText(s.plateHeight);
    for (auto [combo, index] : {std::pair{imageSizeCombo, s.imageSizeIndex},
                                std::pair{predefinedSettingCombo, s.predefinedIndex}}) {
        QSignalBlocker quiet(combo); // their slots would rewrite the fields set here
        combo->setCurrentIndex(index);
    }
    X0->setText(s.x0);
    X1->setText(s.x1);
    Y0->setText(s.y0);
    Y1->setText(s.y1);
    par->setText(s.pixelAspect);
    importFirstText->setText(s.importFirst);
    exportFirstText->setText(s.exportFirst);
    exportFirstText->setStatusTip(s.exportFirstTip);
    m_importFirstFilter = s.importFilter;
    m_exportFirstTyped = s.exportFirstTyped;
    programConventionsCheck->setChecked(s.programConventions);
    if (toInt(s.plateWidth) <= 0 || toInt(s.plateHeight) <= 0) applyAllButton->setEnabled(false);
}

void MainWindow::resetValues()
{
    PlateSettings s = plateSettings();
    s.resetValues();
    showPlateSettings(s);
}

void MainWindow::resetAll()
{
    importFilesLabel->setText(QStringLiteral("Select Files:"));
    importFilesText->setText(QString());
    exportFilesLabel->setText(QStringLiteral("Select Files:"));
    exportFilesText->setText(QString());
    setStepCaption(step1, 1, false);
    setStepCaption(step2, 2, false);
    setStepCaption(step3, 3, false);
    exportFilesTree->setEnabled(false);
    Settings->setEnabled(false);
    resetValues();
    m_tableSettings.reset();
    m_exportRows.clear();
    m_importFirstRow = 0;
    m_dialogM->setAnswer(QString());
    exportFirstText->setText(QString());
    importFirstText->setText(QString());
    m_inputs.clear();
    if (m_model->rowCount() > 0 || m_model->columnCount() > 0) {
        TrackTable before;
        m_model->replace([&](TrackTable &table) { std::swap(before, table); });
        m_model->done(QStringLiteral("New"), std::make_unique<TableReplaced>(std::move(before)));
    }
    importFilesTree->clearSelection();
    exportFilesTree->clearSelection();
}

// SAVE DATA! writes what the last Apply made: once the target, the Step 3
// settings or the table's rows change, it waits for the next Apply.
void MainWindow::applyIsStale()
{
    if (m_applying) return;
    saveDataButton->setEnabled(false);
    saveDataButton->setToolTip(QStringLiteral("Apply All Setting Changes first: the target, the "
                                              "settings or the table changed since the last "
                                              "Apply."));
}

void MainWindow::watchForStaleApply()
{
    for (QLineEdit *field :
         {plateResWidth, plateResHight, X0, X1, Y0, Y1, par, importFirstText, exportFirstText})
        connect(field, &QLineEdit::textChanged, this, &MainWindow::applyIsStale);
    for (QComboBox *combo : {imageSizeCombo, predefinedSettingCombo})
        connect(combo, &QComboBox::currentIndexChanged, this, &MainWindow::applyIsStale);
    connect(programConventionsCheck, &QCheckBox::toggled, this, &MainWindow::applyIsStale);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &MainWindow::applyIsStale);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MainWindow::applyIsStale);
    connect(m_model, &TrackModel::tableSwapped, this, &MainWindow::applyIsStale);
}

void MainWindow::followFrameBases()
{
    PlateSettings s = plateSettings();
    s.defaultExportFirst(exportFilesLabel->statusTip());
    exportFirstText->setText(s.exportFirst);
}

void MainWindow::on_programConventionsCheck_toggled()
{
    followFrameBases();
}

void MainWindow::on_resetValuesButton_clicked()
{
    resetValues();
}

void MainWindow::on_resetValuesAllButton_clicked()
{
    resetAll();
}

void MainWindow::on_newAction_triggered()
{
    resetAll();
}

void MainWindow::on_applyAllButton_clicked()
{
    ApplyParams params = applyParams(plateSettings(), exportFilesLabel->statusTip());
    // Apply converts a copy of the table on a worker thread; the copy then
    // takes the table's place, and the table as it was is kept for undo.
    // Cancelled, the copy is left to its thread and the table stays.
    struct Job
    {
        TrackTable table;
        ApplyResult result;
    };
    auto job = std::make_shared<Job>();
    {
        BusyCursor busy;
        job->table = m_model->table().clone();
    }
    const ProgressRun run{
        QStringLiteral("Applying..."),
        QStringLiteral("Applying the settings to %1")
            .arg(counted(job->table.rowCount(), QStringLiteral("row"), QStringLiteral("rows"))),
        QString(), 1000, AfterCancel::Leave};
    const bool finished =
        runWithProgress(run, [job, params, apply = m_applier](const std::atomic<bool> &,
                                                              std::atomic<qint64> &done) mutable {
            params.progress = &done;
            job->result = apply(job->table, params);
        });
    if (!finished) return;
    const ApplyResult &result = job->result;
    {
        BusyCursor busy;
        QScopedValueRollback<bool> applying(m_applying, true); // its own changes keep it fresh
        m_shapeNameProblem = false;
        if (result.error.isEmpty()) {
            // The settings the table was made with, before and after: undo
            // and redo show them again with the table.
            const PlateSettings settingsBefore =
                m_tableSettings ? *m_tableSettings : plateSettings();
            m_model->swapTable(job->table, result.sorted ? result.order : std::vector<int>());
            exportFirstText->setStatusTip(exportFirstText->text());
            const PlateSettings settingsAfter = plateSettings();
            m_tableSettings = settingsAfter;
            m_model->done(QStringLiteral("Apply All Setting Changes"),
                          std::make_unique<TableReplaced>(std::move(job->table), result.order),
                          [this, settingsBefore, settingsAfter](bool undone) {
                              m_tableSettings = undone ? settingsBefore : settingsAfter;
                              showPlateSettings(*m_tableSettings);
                          });
        }
    }
    if (!result.error.isEmpty()) {
        showMessage(result.error, QMessageBox::Warning);
        return;
    }
    m_applyNotes = result.notes;
    m_shapeNameProblem = result.shapeNameProblem;
    if (m_shapeNameProblem) {
        showMessage(QString::fromLatin1(shapeNameMessage));
        return;
    }
    saveDataButton->setEnabled(true);
    saveDataButton->setToolTip(QString());
}

void MainWindow::sortRows(bool ascending)
{
    BusyCursor busy;
    TrackTable before = m_model->table().clone();
    std::vector<int> order = corvane::sortRows(m_model->table(), ascending ? SortOrder::Ascending
                                                                           : SortOrder::Descending);
    m_model->rowsReordered(order);
    m_model->done(ascending ? QStringLiteral("Less to Greater") : QStringLiteral("Greater to Less"),
                  std::make_unique<TableReplaced>(std::move(before), std::move(order)));
}

void MainWindow::on_actionLow_triggered()
{
    sortRows(true);
}

void MainWindow::on_actionHigh_triggered()
{
    sortRows(false);
}
