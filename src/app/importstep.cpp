// Step 1 of the main window: choosing and recognising a source file, the
// import-mode question and the fill of the table.
#include "busycursor.h"
#include "dialogm.h"
#include "mainwindow.h"
#include "trackmodel.h"

#include "formats/registry.h"
#include "import/dispatch.h"
#include "import/recognise.h"
#include "settings/platesettings.h"
#include "table/numbers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableView>
#include <QTreeWidget>

using namespace corvane;

void MainWindow::on_importFilesTree_doubleClicked(const QModelIndex &index)
{
    QString text = index.data(Qt::DisplayRole).toString();
    if (text.contains(QLatin1String("Software"))) return;
    if (const Program *program = programForTreeText(text))
        runFileDialogImport(QLatin1String(program->importCaption), importFiltersText(*program),
                            true);
    bool imported = !importFilesText->text().isEmpty();
    setStepCaption(step1, 1, imported);
    exportFilesTree->setEnabled(imported);
}

void MainWindow::on_importFilesAction_triggered()
{
    runFileDialogImport(QStringLiteral("Select a File"), allFiltersText(), false);
    if (!importFilesText->text().isEmpty()) exportFilesTree->setEnabled(true);
}

void MainWindow::runFileDialogImport(const QString &caption, const QString &filters, bool fromTree)
{
    FileRequest request;
    request.caption = caption;
    request.filters = filters.split(QStringLiteral(";;"));
    FileChoice choice = m_chooseFile(this, request);
    const QString &fileName = choice.path;
    const QString &filter = choice.filter;
    if (fileName.isEmpty()) return;
    recogniseAndImport(fileName, filter);
    if (fromTree) importFilesLabel->setStatusTip(filter);
}

bool MainWindow::recogniseAndImport(const QString &fileName, const QString &formatFilter)
{
    Recognised recognised = recognise(fileName, formatFilter);
    if (recognised.status == QLatin1String("no")) {
        QMessageBox box(QMessageBox::NoIcon, QString(), recognised.message, QMessageBox::Ok);
        box.exec();
        return false;
    }
    if (!recognised.ok()) return false;
    if (m_model->rowCount() > 0) {
        m_dialogM->setMessage(QStringLiteral("Selected file is  ") + formatFilter +
                              QStringLiteral("  type!"));
        m_dialogM->exec();
        QString answer = m_dialogM->answer();
        if (answer != QLatin1String("new") && answer != QLatin1String("add")) return false;
    }
    importFilesText->setText(fileName);
    importFilesLabel->setText(formatFilter);
    importFilesLabel->setStatusTip(formatFilter);
    fillTable(fileName, formatFilter);
    return true;
}

void MainWindow::fillTable(const QString &fileName, const QString &formatFilter)
{
    BusyCursor busy;
    TrackSet set = dispatch(fileName, formatFilter);
    const bool append = m_dialogM->answer() == QLatin1String("add");
    if (!append) resetValues();

    if (auto frames = firstFrameTakeover(set.firstFrame, importFirstText->text())) {
        importFirstText->setText(frames->importFirst);
        exportFirstText->setText(frames->exportFirst);
        exportFirstText->setStatusTip(frames->exportFirst);
    }
    if (auto plate = plateTakeover(plateResHight->text(), set)) {
        plateResWidth->setText(plate->first);
        plateResHight->setText(plate->second);
    }

    FillRange range;
    m_model->change([&](TrackTable &table) { range = prepareFill(table, set.count, append); });
    m_importFirstRow = range.first;
    m_importEndRow = range.end;
    QHeaderView *header = tableDataWidget->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c)
        tableDataWidget->setColumnWidth(c, header->sectionSizeHint(c));
    tableDataWidget->setPalette(QApplication::palette());
    tableDataWidget->verticalHeader()->setDefaultSectionSize(20);
    tableDataWidget->verticalHeader()->setFixedWidth(43);

    QProgressDialog progress(importFilesLabel->text(), QStringLiteral("Cancel"), 0,
                             range.end - range.first);
    progress.setWindowTitle(QStringLiteral("Importing..."));
    progress.setPalette(QApplication::palette());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    // Events are processed every 50 ms or so, not once per row: a large
    // import would otherwise spend its time redrawing the dialog.
    QElapsedTimer clock;
    clock.start();
    fillRows(m_model->table(), set, range, formatFilter, [&](int written) {
        if (clock.elapsed() < 50 && written < range.end - range.first)
            return !progress.wasCanceled();
        clock.restart();
        progress.setValue(written);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
    m_model->refresh();
    progress.close();
}
