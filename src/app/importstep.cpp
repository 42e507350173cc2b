// SPDX-License-Identifier: Apache-2.0
// Step 1 of the main window: choosing and recognising a source file (and,
// when the chosen format refuses it, offering the format that reads it), the
// import-mode question and the import itself, under a progress dialog that
// covers the reading and the fill.
#include "busycursor.h"
#include "dialogm.h"
#include "look.h"
#include "mainwindow.h"

#include "export/savetransaction.h"
#include "trackmodel.h"

#include "formats/registry.h"
#include "import/detect.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "import/recognise.h"
#include "settings/platesettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableView>
#include <QTreeWidget>
#include <QUndoStack>

#include <atomic>
#include <memory>

using namespace corvane;

namespace {

// The format to offer for a file the chosen format refused: one the file
// fits other than the chosen, of the chosen one's program where there is
// one, and the format detection would read it as before the others.
const Format *otherFormatReading(const Detection &detection, const Format *chosen)
{
    const Program *program = chosen ? programOf(*chosen) : nullptr;
    auto pick = [&](auto accepts) -> const Format * {
        if (detection.format && detection.format != chosen && accepts(*detection.format))
            return detection.format;
        for (const Format *f : detection.candidates)
            if (f != chosen && accepts(*f)) return f;
        return nullptr;
    };
    if (program)
        if (const Format *same = pick([&](const Format &f) { return programOf(f) == program; }))
            return same;
    return pick([](const Format &) { return true; });
}

} // namespace

void MainWindow::on_importFilesTree_doubleClicked(const QModelIndex &index)
{
    QString text = index.data(Qt::DisplayRole).toString();
    if (text.contains(QLatin1String("Software"))) return;
    if (const Program *program = programForTreeText(text))
        runFileDialogImport(QLatin1String(program->importCaption), importFiltersText(*program));
    bool imported = !importFilesText->text().isEmpty();
    setStepCaption(step1, 1, imported);
    exportFilesTree->setEnabled(imported);
}

void MainWindow::on_importFilesAction_triggered()
{
    runFileDialogImport(QStringLiteral("Select a File"), allFiltersText());
    if (!importFilesText->text().isEmpty()) exportFilesTree->setEnabled(true);
}

// The import sets Step 1's label to the format it read the file as (which
// is not the dialog's filter when the user took the one offered instead).
void MainWindow::runFileDialogImport(const QString &caption, const QString &filters)
{
    FileRequest request;
    request.caption = caption;
    request.filters = filters.split(QStringLiteral(";;"));
    FileChoice choice = chooseFile(request);
    if (choice.path.isEmpty()) return;
    recogniseAndImport(choice.path, choice.filter);
}

void MainWindow::showMessage(const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, this);
    box.setPalette(QApplication::palette());
    box.exec();
}

bool MainWindow::recogniseAndImport(const QString &fileName, const QString &chosenFilter)
{
    // A save into this folder that was killed or stopped is undone first.
    const QStringList recovered = SaveTransaction::recoverFolders({fileName});
    if (!recovered.isEmpty())
        showMessage(recovered.join(QStringLiteral("\n\n")), QMessageBox::Information);
    // A FIFO or a device would hold the window (or never end): regular files only.
    const QString problem = inputFileProblem(fileName);
    if (!problem.isEmpty()) {
        showMessage(problem, QMessageBox::Warning);
        return false;
    }
    QString formatFilter = chosenFilter;
    bool offered = false; // the format the user took instead: not offered another
    Recognised recognised = recognise(fileName, formatFilter);
    if (recognised.status == QLatin1String("no")) {
        const std::optional<QString> other = offerOtherFormat(
            fileName, formatFilter,
            QFileInfo(fileName).fileName() + QStringLiteral(": ") + recognised.message,
            QMessageBox::NoIcon);
        if (!other) return false;
        formatFilter = *other; // it passes its own first-line test: detection tried it
        offered = true;
    } else if (!recognised.ok()) {
        return false;
    }
    const Format *format = formatForImportFilter(formatFilter);
    if (!format || !format->read) {
        showMessage(QStringLiteral("Reading %1 files is not available yet.")
                        .arg(format ? QLatin1String(format->name) : formatFilter));
        return false;
    }
    // The file is read before anything is asked: only a file that reads is
    // offered as a new list or an addition.
    std::optional<ReadResult> read = readImport(fileName, formatFilter, !offered);
    if (!read) return false;
    ImportMode mode = ImportMode::NewList;
    if (m_model->rowCount() > 0) {
        m_dialogM->setMessage(QStringLiteral("Selected file is  ") + formatFilter +
                              QStringLiteral("  type!"));
        const QString answer = m_dialogM->ask();
        if (answer != QLatin1String("new") && answer != QLatin1String("add")) return false;
        if (answer == QLatin1String("add")) mode = ImportMode::Append;
    }
    if (!applyImport(fileName, formatFilter, mode, *read)) return false;
    importFilesText->setText(fileName);
    importFilesLabel->setText(formatFilter);
    importFilesLabel->setStatusTip(formatFilter);
    rememberRecent(fileName, formatFilter);
    return true;
}

// The fill's progress: over the window, shown after half a second.
void MainWindow::setUpImportProgress(QProgressDialog &progress)
{
    progress.setWindowTitle(QStringLiteral("Importing..."));
    progress.setPalette(QApplication::palette());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    // Escape, when the dialog's own shortcut did not take it, rejects the
    // dialog: that cancels too.
    connect(&progress, &QDialog::rejected, &progress, &QProgressDialog::canceled);
}

void MainWindow::joinFinishedReaders()
{
    for (auto it = m_readers.begin(); it != m_readers.end();) {
        if (!it->finished()) {
            ++it;
            continue;
        }
        it->thread.join();
        it = m_readers.erase(it);
    }
}

// The file is read on a worker thread under a progress dialog (its bytes,
// then "Reading the … rows" while the reader works). Cancel or Escape leave
// at once with nothing changed; the worker's result, when it comes, is
// thrown away.
std::optional<ReadResult> MainWindow::readImport(const QString &fileName, QString &formatFilter,
                                                 bool offerOthers)
{
    auto job = std::make_shared<ReadResult>();
    const Format *format = formatForImportFilter(formatFilter);
    const ProgressRun run{
        QStringLiteral("Importing..."),
        QStringLiteral("Reading %1").arg(QFileInfo(fileName).fileName()),
        QStringLiteral("Reading the %1 rows…").arg(QLatin1String(format ? format->name : "")),
        QFileInfo(fileName).size(), AfterCancel::Leave};
    const bool finished =
        runWithProgress(run, [job, fileName, formatFilter, read = m_importReader](
                                 const std::atomic<bool> &, std::atomic<qint64> &bytes) {
            *job = read(fileName, formatFilter, &bytes);
        });
    if (!finished) return std::nullopt; // the table stays as it was
    joinFinishedReaders();
    ReadResult read = std::move(*job);
    if (!read.ok()) {
        if (!offerOthers) {
            showMessage(read.error, QMessageBox::Warning);
            return std::nullopt;
        }
        const std::optional<QString> other =
            offerOtherFormat(fileName, formatFilter, read.error, QMessageBox::Warning);
        if (!other) return std::nullopt;
        formatFilter = *other;
        return readImport(fileName, formatFilter, false);
    }
    if (!read.cutShort.isEmpty()) {
        QMessageBox box(
            QMessageBox::Warning, QString(),
            read.cutShort +
                QStringLiteral("\n\nImport the %1 rows that were read?").arg(read.set.count),
            QMessageBox::Yes | QMessageBox::No, this);
        box.setPalette(QApplication::palette());
        if (box.exec() != QMessageBox::Yes) return std::nullopt;
    }
    return read;
}

// Detection reads the whole file, on a worker thread under a progress
// dialog as the import's read; cancelled, nothing is said or changed.
std::optional<QString> MainWindow::offerOtherFormat(const QString &fileName,
                                                    const QString &formatFilter,
                                                    const QString &refusal, QMessageBox::Icon icon)
{
    auto detection = std::make_shared<Detection>();
    const QString name = QFileInfo(fileName).fileName();
    const ProgressRun run{QStringLiteral("Importing..."),
                          QStringLiteral("Finding which format reads %1").arg(name), QString(), 1,
                          AfterCancel::Leave};
    const bool finished = runWithProgress(
        run, [detection, fileName](const std::atomic<bool> &, std::atomic<qint64> &) {
            *detection = detectFormat(fileName);
        });
    if (!finished) return std::nullopt;
    joinFinishedReaders();
    const Format *chosen = formatForFilter(formatFilter);
    const Format *other = otherFormatReading(*detection, chosen);
    if (!other) {
        showMessage(refusal, icon);
        return std::nullopt;
    }
    const QString otherName = QLatin1String(other->name);
    const QString text =
        QStringLiteral("%1: this is not a %2 file; it is a %3 file. Import it as %3?")
            .arg(name, chosen ? QLatin1String(chosen->name) : formatFilter, otherName);
    QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setPalette(QApplication::palette());
    if (box.exec() != QMessageBox::Yes) return std::nullopt;
    return QLatin1String(other->importFilter);
}

bool MainWindow::applyImport(const QString &fileName, const QString &formatFilter, ImportMode mode,
                             const ReadResult &read)
{
    BusyCursor busy;
    QProgressDialog progress(QStringLiteral("Filling the table"), QStringLiteral("Cancel"), 0, 0,
                             this);
    setUpImportProgress(progress);
    const PlateSettings shownBefore = plateSettings();
    PlateSettings settings = plateSettings();
    takeOverImport(settings, read.set, mode, formatFilter);
    settings.defaultExportFirst(exportFilesLabel->statusTip());
    showPlateSettings(settings);
    m_tableSettings = settings;
    saveStatusLabel->clear(); // it told of the list before
    saveStatusLabel->setToolTip(QString());
    if (!fillTable(read.set, fileName, formatFilter, mode, progress)) {
        showPlateSettings(shownBefore); // cancelled: as it was
        m_tableSettings.reset();
        return false;
    }
    if (mode == ImportMode::NewList) m_model->undoStack()->setClean(); // the table is the file's
    if (!read.notes.isEmpty())
        showMessage(read.notes.join(QLatin1Char('\n')), QMessageBox::Information);
    if (mode == ImportMode::NewList) m_inputs.clear();
    m_inputs.append(fileName);
    return true;
}

bool MainWindow::fillTable(const TrackSet &set, const QString &fileName,
                           const QString &formatFilter, ImportMode mode, QProgressDialog &progress)
{
    FillRange range;
    TrackTable before; // the list a new one replaces
    auto prepare = [&](TrackTable &table) {
        if (mode == ImportMode::NewList) std::swap(before, table);
        range = prepareFill(table, set.count, mode == ImportMode::Append);
    };
    if (mode == ImportMode::Append)
        m_model->append(set.count, prepare);
    else
        m_model->replace(prepare);
    m_importFirstRow = range.first;
    m_importEndRow = range.end;
    QHeaderView *header = tableDataWidget->horizontalHeader();
    for (int c = 0; c < m_model->columnCount(); ++c)
        tableDataWidget->setColumnWidth(c, header->sectionSizeHint(c));
    tableDataWidget->setPalette(look::tablePalette());
    tableDataWidget->verticalHeader()->setDefaultSectionSize(20);
    fitRowNumbers();

    progress.setMaximum(range.end - range.first);
    progress.setValue(0); // shown after half a second of filling
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
    if (progress.wasCanceled()) {
        // Cancelled: the table goes back to what it was.
        if (mode == ImportMode::NewList)
            m_model->replace([&](TrackTable &table) { std::swap(before, table); });
        else
            RowsAddedOrRemoved::remove(*m_model, rowRange(range.first, range.end - 1));
        progress.close();
        return false;
    }
    m_model->cellsChanged(range.first, range.end - 1);
    // Undo and redo put Step 1's file back with the table.
    const std::pair<QString, QString> shownBefore{importFilesText->text(),
                                                  importFilesLabel->text()};
    const std::pair<QString, QString> shownAfter{fileName, formatFilter};
    auto showFile = [this, shownBefore, shownAfter](bool undone) {
        const auto &[path, filter] = undone ? shownBefore : shownAfter;
        importFilesText->setText(path);
        importFilesLabel->setText(filter);
        importFilesLabel->setStatusTip(filter);
        setStepCaption(step1, 1, !path.isEmpty());
        exportFilesTree->setEnabled(!path.isEmpty());
    };
    if (mode == ImportMode::NewList)
        m_model->done(QStringLiteral("Import"), std::make_unique<TableReplaced>(std::move(before)),
                      showFile);
    else
        m_model->done(QStringLiteral("Import"),
                      RowsAddedOrRemoved::added(rowRange(range.first, range.end - 1)), showFile);
    if (mode == ImportMode::NewList) tableDataWidget->scrollToTop();
    progress.close();
    return true;
}
