// Step 3 of the main window: the plate settings, Apply, the resets and sorting.
#include "busycursor.h"
#include "dialogm.h"
#include "look.h"
#include "mainwindow.h"
#include "trackmodel.h"

#include "edit/sort.h"
#include "settings/apply.h"
#include "settings/platesettings.h"
#include "table/numbers.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

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
}

void MainWindow::on_plateResHight_textChanged()
{
    plateFieldChanged(plateResHight, plateResWidth, Y1);
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

void MainWindow::resetValues()
{
    plateResWidth->setText(QStringLiteral("0"));
    plateResHight->setText(QStringLiteral("0"));
    imageSizeCombo->setCurrentIndex(0);
    predefinedSettingCombo->setCurrentIndex(0);
    for (QLineEdit *e : {X0, X1, Y0, Y1})
        e->setText(QStringLiteral("0"));
    applyAllButton->setEnabled(false);
    exportFirstText->setText(importFirstText->text());
    exportFirstText->setStatusTip(importFirstText->text());
    par->setText(QStringLiteral("1.0"));
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
    m_exportRows.clear();
    m_importFirstRow = 0;
    m_dialogM->setAnswer(QString());
    exportFirstText->setText(QString());
    importFirstText->setText(QString());
    m_model->change([](TrackTable &table) { table.clear(); });
    importFilesTree->clearSelection();
    exportFilesTree->clearSelection();
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
    ApplyParams params;
    params.pixelAspect = toDouble(par->text());
    params.plateWidth = toInt(plateResWidth->text());
    params.plateHeight = toInt(plateResHight->text());
    params.x0 = toInt(X0->text());
    params.x1 = toInt(X1->text());
    params.y0 = toInt(Y0->text());
    params.y1 = toInt(Y1->text());
    params.exportFirst = toInt(exportFirstText->text());
    params.importFirst = toInt(exportFirstText->statusTip());
    params.targetFilter = exportFilesLabel->statusTip();
    params.predefinedIndex = predefinedSettingCombo->currentIndex();

    ApplyResult result;
    {
        BusyCursor busy;
        m_shapeNameProblem = false;
        m_model->change([&](TrackTable &table) { result = applySettings(table, params); });
        if (result.error.isEmpty()) exportFirstText->setStatusTip(exportFirstText->text());
    }
    if (!result.error.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QString(), result.error, QMessageBox::Ok, this);
        box.setPalette(QApplication::palette());
        box.exec();
        return;
    }
    m_shapeNameProblem = result.shapeNameProblem;
    if (m_shapeNameProblem) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString::fromLatin1(shapeNameMessage),
                        QMessageBox::Ok, this);
        box.setPalette(QApplication::palette());
        box.exec();
        return;
    }
    saveDataButton->setEnabled(true);
}

void MainWindow::sortRows(bool ascending)
{
    BusyCursor busy;
    m_model->change([&](TrackTable &table) {
        corvane::sortRows(table, ascending ? SortOrder::Ascending : SortOrder::Descending);
    });
}

void MainWindow::on_actionLow_triggered()
{
    sortRows(true);
}

void MainWindow::on_actionHigh_triggered()
{
    sortRows(false);
}
