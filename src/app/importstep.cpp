// SPDX-License-Identifier: Apache-2.0
#include "importstep.h"

#include "dialogm.h"
#include "filechooser.h"
#include "formattree.h"
#include "look.h"
#include "makewidget.h"
#include "messages.h"
#include "platepanel.h"
#include "progressrunner.h"
#include "trackmodel.h"

#include "export/savetransaction.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "import/recognise.h"
#include "import/streamedimport.h"
#include "settings/platesettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QSettings>
#include <QTreeWidget>
#include <QUndoStack>

#include <memory>

using namespace corvane;

namespace {

constexpr int recentLimit = 10;
const char recentKey[] = "recentFiles";

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

ImportStep::ImportStep(QWidget *box, TrackModel *model, PlatePanel *plate, ProgressRunner *runner,
                       const FileDialogs *dialogs)
    : QObject(box), m_model(model), m_plate(plate), m_runner(runner), m_dialogs(dialogs)
{
    buildWidgets(box);
    m_modeDialog = new DialogM(box->window());
}

void ImportStep::buildWidgets(QWidget *box)
{
    m_caption = makeLabel(box, "step1", look::stepCaption(1, false), {10, 16, 50, 20});
    makeLabel(box, "label_3", QStringLiteral("Import Files"), {64, 16, 170, 20});
    m_tree = makeFormatTree(box, "importFilesTree", {10, 38, 230, 156}, false,
                            [this](const QModelIndex &index) { importFromTree(index); });
    m_formatLabel =
        makeLabel(box, "importFilesLabel", QStringLiteral("Select Files:"), {10, 196, 230, 18});
    m_pathField = makeField(box, "importFilesText", QString(), {10, 214, 230, 20});
    m_pathField->setReadOnly(true);
    m_pathField->setStyleSheet(QLatin1String(look::fileFieldStyle));
}

QWidget *ImportStep::over() const
{
    return m_tree->window();
}

void ImportStep::showFile(const QString &path, const QString &filter)
{
    m_pathField->setText(path);
    m_formatLabel->setText(filter);
    m_formatLabel->setStatusTip(filter);
}

void ImportStep::clear()
{
    m_pathField->setText(QString());
    m_formatLabel->setText(QStringLiteral("Select Files:"));
    m_caption->setText(look::stepCaption(1, false));
    m_firstRow = 0;
    m_modeDialog->setAnswer(QString());
    m_inputs.clear();
    m_tree->clearSelection();
}

void ImportStep::importFromTree(const QModelIndex &index)
{
    if (isGroupEntry(index)) return;
    if (const Program *program = programForTreeText(index.data(Qt::DisplayRole).toString()))
        runDialog(QLatin1String(program->importCaption), importFiltersText(*program));
    const bool imported = !m_pathField->text().isEmpty();
    m_caption->setText(look::stepCaption(1, imported));
    emit fileShown(imported);
}

void ImportStep::importWithDialog()
{
    runDialog(QStringLiteral("Select a File"), allFiltersText());
    if (!m_pathField->text().isEmpty()) emit fileShown(true);
}

// The import sets the format label to the format it read the file as (which
// is not the dialog's filter when the user took the one offered instead).
void ImportStep::runDialog(const QString &caption, const QString &filters)
{
    FileRequest request;
    request.caption = caption;
    request.filters = filters.split(QStringLiteral(";;"));
    FileChoice choice = m_dialogs->choose(request);
    if (choice.path.isEmpty()) return;
    recogniseAndImport(choice.path, choice.filter);
}

bool ImportStep::recogniseAndImport(const QString &fileName, const QString &chosenFilter)
{
    // A save into this folder that was killed or stopped is undone first.
    const QStringList recovered = SaveTransaction::recoverFolders({fileName});
    if (!recovered.isEmpty())
        showMessage(over(), recovered.join(QStringLiteral("\n\n")), QMessageBox::Information);
    // A FIFO or a device would hold the window (or never end): regular files only.
    QString problem = inputFileProblem(fileName);
    if (problem.isEmpty()) problem = emptyFileProblem(fileName);
    if (!problem.isEmpty()) {
        showMessage(over(), problem, QMessageBox::Warning);
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
        showMessage(over(), QStringLiteral("Reading %1 files is not available yet.")
                                .arg(format ? QLatin1String(format->name) : formatFilter));
        return false;
    }
    // The file is read before anything is asked: only a file that reads is
    // offered as a new list or an addition.
    std::optional<ReadResult> result = read(fileName, formatFilter, !offered);
    if (!result) return false;
    ImportMode mode = ImportMode::NewList;
    if (m_model->rowCount() > 0) {
        m_modeDialog->setMessage(QStringLiteral("Selected file is  ") + formatFilter +
                                 QStringLiteral("  type!"));
        const QString answer = m_modeDialog->ask();
        if (answer != QLatin1String("new") && answer != QLatin1String("add")) return false;
        if (answer == QLatin1String("add")) mode = ImportMode::Append;
    }
    if (!applyImport(fileName, formatFilter, mode,
                     std::make_shared<const ReadResult>(std::move(*result))))
        return false;
    showFile(fileName, formatFilter);
    rememberRecent(fileName, formatFilter);
    emit imported(fileName);
    return true;
}

std::optional<QString>
ImportStep::importDropped(const QString &path,
                          const std::function<QString(const QStringList &)> &choose)
{
    Detection detection = detectFormat(path);
    if (!detection.error.isEmpty()) {
        showMessage(over(), detection.error, QMessageBox::Warning);
        return std::nullopt;
    }
    if (detection.candidates.isEmpty()) {
        showMessage(over(),
                    notATrackFileMessage(QFileInfo(path).fileName(), detection) +
                        QStringLiteral("\nIf you know its format, import it with Import Files "
                                       "and choose the format."),
                    QMessageBox::Warning);
        return std::nullopt;
    }
    QString filter = QLatin1String(
        (detection.format ? detection.format : detection.candidates.first())->importFilter);
    if (!detection.format) {
        QStringList filters;
        for (const Format *f : detection.candidates)
            filters << QLatin1String(f->importFilter);
        bool ok = true;
        filter = choose ? choose(filters)
                        : QInputDialog::getItem(over(), QStringLiteral("Corvane"),
                                                QStringLiteral("The file fits several "
                                                               "formats. Which is it?"),
                                                filters, 0, false, &ok);
        if (!ok || filter.isEmpty()) return std::nullopt;
    }
    if (!recogniseAndImport(path, filter)) return std::nullopt;
    m_caption->setText(look::stepCaption(1, true));
    emit fileShown(true);
    return detection.choice;
}

// The file is read on a worker thread under a progress dialog (its bytes,
// then "Reading the … rows" while the reader works). Cancel or Escape leave
// at once with nothing changed; the worker's result, when it comes, is
// thrown away.
std::optional<ReadResult> ImportStep::read(const QString &fileName, QString &formatFilter,
                                           bool offerOthers)
{
    auto job = std::make_shared<ReadResult>();
    const Format *format = formatForImportFilter(formatFilter);
    // Into an empty table (a new list, then) a streamed reader's rows go as
    // they are read: they are never held twice. It declines what the whole
    // reading would refuse or note, which then reads the file. (Into a table
    // with rows, whose mode is asked once the file reads, a table of the
    // file's own would cost an addition more than the whole reading does.)
    m_streamed.reset();
    auto streamed = m_streams && format && format->stream && m_model->rowCount() == 0
                        ? std::make_shared<TrackTable>()
                        : nullptr;
    auto streamedRows = std::make_shared<bool>(false);
    const ProgressRunner::Run run{
        QStringLiteral("Importing..."),
        QStringLiteral("Reading %1").arg(QFileInfo(fileName).fileName()),
        QStringLiteral("Reading the %1 rows…").arg(QLatin1String(format ? format->name : "")),
        QFileInfo(fileName).size(), ProgressRunner::AfterCancel::Leave};
    const bool finished = m_runner->run(
        run, [job, fileName, formatFilter, format, streamed, streamedRows,
              read = m_reader](const std::atomic<bool> &, std::atomic<qint64> &bytes) {
            if (streamed) {
                StreamedFill filled = streamIntoTable(*streamed, fileName, *format, &bytes);
                *streamedRows = filled.outcome == Streamed::Read;
                if (*streamedRows) {
                    job->set = std::move(filled.summary);
                    return;
                }
            }
            *job = read(fileName, formatFilter, &bytes);
        });
    if (!finished) return std::nullopt; // the table stays as it was
    m_runner->joinFinished();
    if (*streamedRows) m_streamed = streamed;
    ReadResult result = std::move(*job);
    if (!result.ok()) {
        if (!offerOthers) {
            showMessage(over(), result.error, QMessageBox::Warning);
            return std::nullopt;
        }
        const std::optional<QString> other =
            offerOtherFormat(fileName, formatFilter, result.error, QMessageBox::Warning);
        if (!other) return std::nullopt;
        formatFilter = *other;
        return read(fileName, formatFilter, false);
    }
    if (!result.cutShort.isEmpty() && !askImportCutShort(result)) return std::nullopt;
    return result;
}

bool ImportStep::askImportCutShort(const ReadResult &result)
{
    QMessageBox box(
        QMessageBox::Warning, QString(),
        result.cutShort +
            QStringLiteral("\n\nImport the %1 rows that were read?").arg(result.set.count),
        QMessageBox::Yes | QMessageBox::No, over());
    box.setPalette(QApplication::palette());
    return box.exec() == QMessageBox::Yes;
}

// Detection reads the whole file, on a worker thread under a progress
// dialog as the import's read; cancelled, nothing is said or changed.
std::optional<QString> ImportStep::offerOtherFormat(const QString &fileName,
                                                    const QString &formatFilter,
                                                    const QString &refusal, QMessageBox::Icon icon)
{
    auto detection = std::make_shared<Detection>();
    const QString name = QFileInfo(fileName).fileName();
    const ProgressRunner::Run run{QStringLiteral("Importing..."),
                                  QStringLiteral("Finding which format reads %1").arg(name),
                                  QString(), 1, ProgressRunner::AfterCancel::Leave};
    const bool finished =
        m_runner->run(run, [detection, fileName](const std::atomic<bool> &, std::atomic<qint64> &) {
            *detection = detectFormat(fileName);
        });
    if (!finished) return std::nullopt;
    m_runner->joinFinished();
    const Format *chosen = formatForFilter(formatFilter);
    const Format *other = otherFormatReading(*detection, chosen);
    if (!other) {
        showMessage(over(), refusal, icon);
        return std::nullopt;
    }
    const QString otherName = QLatin1String(other->name);
    const QString text =
        QStringLiteral("%1: this is not a %2 file; it is a %3 file. Import it as %3?")
            .arg(name, chosen ? QLatin1String(chosen->name) : formatFilter, otherName);
    if (!askYesNo(over(), text, true)) return std::nullopt;
    return QLatin1String(other->importFilter);
}

struct ImportStep::Shown
{
    QString path, filter;
    PlateSettings plate;
    std::optional<PlateSettings> tablePlate;
    QString saveLine;
};

ImportStep::Shown ImportStep::shownNow() const
{
    return {m_pathField->text(), m_formatLabel->text(), m_plate->settings(),
            m_plate->tableSettings(), m_saveLine ? m_saveLine() : QString()};
}

void ImportStep::showAgain(const Shown &shown)
{
    showFile(shown.path, shown.filter);
    m_caption->setText(look::stepCaption(1, !shown.path.isEmpty()));
    m_plate->showSettings(shown.plate);
    m_plate->setTableSettings(shown.tablePlate);
    if (m_showSaveLine) m_showSaveLine(shown.saveLine);
    emit fileShown(!shown.path.isEmpty());
}

bool ImportStep::applyImport(const QString &fileName, const QString &formatFilter, ImportMode mode,
                             const std::shared_ptr<const ReadResult> &read)
{
    const Shown before = shownNow();
    PlateSettings settings = m_plate->settings();
    takeOverImport(settings, read->set, mode, formatFilter);
    settings.defaultExportFirst(m_plate->targetFormat());
    m_plate->showSettings(settings);
    m_plate->setTableSettings(settings);
    emit filling();
    if (!fillTable(read, fileName, formatFilter, mode, before)) {
        m_plate->showSettings(before.plate); // cancelled: as it was
        m_plate->setTableSettings(before.tablePlate);
        return false;
    }
    if (mode == ImportMode::NewList) m_model->undoStack()->setClean(); // the table is the file's
    if (!read->notes.isEmpty())
        showMessage(over(), read->notes.join(QLatin1Char('\n')), QMessageBox::Information);
    if (mode == ImportMode::NewList) m_inputs.clear();
    m_inputs.append(fileName);
    return true;
}

// The rows are written on a worker into a table of their own (a new list,
// or a copy of the table with room for the added rows), which then takes
// the table's place: the window never waits for rows. Cancelled, the table
// stays as it was.
bool ImportStep::fillTable(const std::shared_ptr<const ReadResult> &read, const QString &fileName,
                           const QString &formatFilter, ImportMode mode, const Shown &shownBefore)
{
    if (const std::shared_ptr<TrackTable> filled = std::exchange(m_streamed, nullptr)) {
        // Read into a table of its own: the table was empty, so it takes its place.
        return takeFilled(*filled, {0, filled->rowCount()}, false, fileName, formatFilter,
                          shownBefore);
    }
    struct Job
    {
        TrackTable table;
        FillRange range;
    };
    auto job = std::make_shared<Job>();
    const bool append = mode == ImportMode::Append;
    // An addition fills a copy of the table, made with room for the added
    // rows, which then takes its place.
    if (append && !m_runner->copyTable(m_model->table(), job->table, QStringLiteral("Importing..."),
                                       read->set.count))
        return false;
    // The fill works on what it owns alone: cancelled, it is left to finish unseen.
    const ProgressRunner::Run run{QStringLiteral("Importing..."),
                                  QStringLiteral("Filling the table"), QString(),
                                  std::max(1, read->set.count), ProgressRunner::AfterCancel::Leave};
    const bool finished =
        m_runner->run(run, [job, read, append, formatFilter](const std::atomic<bool> &cancel,
                                                             std::atomic<qint64> &done) {
            job->range = prepareFill(job->table, read->set.count, append);
            fillRows(job->table, read->set, job->range, formatFilter, [&](int written) {
                done.store(written, std::memory_order_relaxed);
                return !cancel.load();
            });
        });
    if (!finished) return false;
    m_runner->joinFinished();
    return takeFilled(job->table, job->range, append, fileName, formatFilter, shownBefore);
}

// The filled table takes the table's place, with its undo step.
bool ImportStep::takeFilled(TrackTable &filled, FillRange range, bool append,
                            const QString &fileName, const QString &formatFilter,
                            const Shown &shownBefore)
{
    if (append)
        m_model->append(range.end - range.first,
                        [&](TrackTable &table) { std::swap(filled, table); });
    else
        m_model->replace([&](TrackTable &table) { std::swap(filled, table); });
    m_firstRow = range.first;
    m_endRow = range.end;
    emit tablePrepared();
    // Undo and redo put back the file, the plate, the first frames and the
    // save line that came with the table.
    const Shown after{fileName, formatFilter, m_plate->settings(), m_plate->tableSettings(),
                      QString()};
    auto follow = [this, shownBefore, after](bool undone) {
        showAgain(undone ? shownBefore : after);
    };
    if (append) {
        m_model->done(QStringLiteral("Import"),
                      RowsAddedOrRemoved::added(rowRange(range.first, range.end - 1)), follow);
    } else {
        // The job's table is now the list before, kept for undo.
        m_model->done(QStringLiteral("Import"), std::make_unique<TableReplaced>(std::move(filled)),
                      follow);
        emit newListFilled();
    }
    return true;
}

QList<QPair<QString, QString>> ImportStep::recentFiles()
{
    QList<QPair<QString, QString>> out;
    const QStringList entries = QSettings().value(QLatin1String(recentKey)).toStringList();
    for (const QString &entry : entries) {
        const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
        if (tab > 0) out.append({entry.left(tab), entry.mid(tab + 1)});
    }
    return out;
}

void ImportStep::rememberRecent(const QString &path, const QString &formatFilter)
{
    const QString entry = QFileInfo(path).absoluteFilePath() + QLatin1Char('\t') + formatFilter;
    QStringList entries = QSettings().value(QLatin1String(recentKey)).toStringList();
    entries.removeAll(entry);
    entries.prepend(entry);
    QSettings().setValue(QLatin1String(recentKey), entries.mid(0, recentLimit));
}

void ImportStep::fillRecentMenu(QMenu *menu)
{
    menu->clear();
    const auto files = recentFiles();
    if (files.isEmpty()) menu->addAction(QStringLiteral("(none)"))->setEnabled(false);
    for (const auto &[path, filter] : files) {
        QAction *a = menu->addAction(QFileInfo(path).fileName() + QStringLiteral("  —  ") + filter);
        a->setToolTip(path);
        connect(a, &QAction::triggered, this, [this, path = path, filter = filter] {
            if (!recogniseAndImport(path, filter)) return;
            m_caption->setText(look::stepCaption(1, true));
            emit fileShown(true);
        });
    }
}
