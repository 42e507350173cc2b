// SPDX-License-Identifier: Apache-2.0
#include "exportstep.h"

#include "busycursor.h"
#include "cornerpindialog.h"
#include "counting.h"
#include "filechooser.h"
#include "formattree.h"
#include "look.h"
#include "makewidget.h"
#include "messages.h"
#include "platepanel.h"
#include "progressrunner.h"
#include "trackmodel.h"

#include "formats/registry.h"
#include "settings/platesettings.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTreeWidget>
#include <QUndoStack>

using namespace corvane;

ExportStep::ExportStep(QWidget *box, QWidget *lineParent, TrackModel *model, PlatePanel *plate,
                       ProgressRunner *runner, const FileDialogs *dialogs)
    : QObject(box), m_model(model), m_plate(plate), m_runner(runner), m_dialogs(dialogs)
{
    buildWidgets(box, lineParent);
}

void ExportStep::buildWidgets(QWidget *box, QWidget *lineParent)
{
    m_caption = makeLabel(box, "step2", look::stepCaption(2, false), {10, 240, 50, 20});
    makeLabel(box, "label_4", QStringLiteral("Export Files"), {64, 240, 170, 20});
    m_tree = makeFormatTree(box, "exportFilesTree", {10, 262, 230, 156}, true,
                            [this](const QModelIndex &index) { chooseFromTree(index); });
    m_tree->setEnabled(false);
    m_formatLabel =
        makeLabel(box, "exportFilesLabel", QStringLiteral("Select File:"), {10, 420, 230, 18});
    m_pathField = makeField(box, "exportFilesText", QString(), {10, 438, 230, 20});
    m_pathField->setReadOnly(true);
    m_pathField->setStyleSheet(QLatin1String(look::fileFieldStyle));

    // In the free space above RESET VALUES.
    m_saveLine = makeWidget<QLabel>(lineParent, "saveStatusLabel", {682, 26, 112, 90});
    m_saveLine->setWordWrap(true);
    m_saveLine->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    m_saveLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

QWidget *ExportStep::over() const
{
    return m_tree->window();
}

QString ExportStep::targetPath() const
{
    return m_pathField->text();
}

QString ExportStep::status() const
{
    return m_status;
}

namespace {

// As much of text as the label holds, wrapped at words, ending in "…" when
// it is cut.
QString fitted(const QLabel *label, const QString &text)
{
    const QFontMetrics metrics(label->font());
    const QRect room(0, 0, label->width(), 1 << 20);
    auto fits = [&](const QString &t) {
        return metrics.boundingRect(room, Qt::TextWordWrap, t).height() <= label->height();
    };
    if (fits(text)) return text;
    qsizetype low = 0, high = text.size(); // text.left(low) + "…" fits
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (fits(text.left(mid).trimmed() + QStringLiteral("…")))
            low = mid;
        else
            high = mid - 1;
    }
    return text.left(low).trimmed() + QStringLiteral("…");
}

} // namespace

void ExportStep::showStatus(const QString &text)
{
    m_status = text;
    m_saveLine->setText(fitted(m_saveLine, text));
    m_saveLine->setToolTip(text);
}

void ExportStep::clear()
{
    m_formatLabel->setText(QStringLiteral("Select Files:"));
    m_pathField->setText(QString());
    m_caption->setText(look::stepCaption(2, false));
    m_tree->setEnabled(false);
    m_rows.clear();
    m_tree->clearSelection();
}

void ExportStep::chooseTarget(const QString &path, const QString &formatFilter)
{
    const bool changed = formatFilter != m_formatLabel->statusTip() || path != m_pathField->text();
    m_pathField->setText(path);
    m_formatLabel->setText(formatFilter);
    m_formatLabel->setStatusTip(formatFilter);
    showStatus(QString()); // it told of another target
    m_caption->setText(look::stepCaption(2, !path.isEmpty()));
    emit targetChosen(path, formatFilter, changed);
}

void ExportStep::chooseFromTree(const QModelIndex &index)
{
    if (isGroupEntry(index)) return;
    const Program *program = programForTreeText(index.data(Qt::DisplayRole).toString());
    FileRequest request;
    request.caption = program ? QLatin1String(program->exportCaption) : QString();
    request.filters =
        program ? exportFiltersText(*program).split(QStringLiteral(";;")) : QStringList();
    request.save = true;
    request.suffixFromFilter = true;
    request.directory = m_startFolder;
    const FileChoice choice = m_dialogs->choose(request);
    if (!choice.path.isNull()) chooseTarget(choice.path, choice.filter);
    m_plate->offerPresetsForPlate();
    emit dialogClosed();
}

void ExportStep::chooseWithDialog()
{
    FileRequest request;
    request.caption = QStringLiteral("Save as");
    request.filters = writableFiltersText().split(QStringLiteral(";;"));
    request.save = true;
    request.directory = m_startFolder.isEmpty() ? QDir::homePath() : m_startFolder;
    const FileChoice choice = m_dialogs->choose(request);
    QString path = choice.path;
    if (path.isNull()) return emit dialogClosed();
    // A name typed without an extension takes the format's, as on the tree's road
    // (where the dialog adds it; these filters may name "*.*").
    const Format *format = formatForFilter(choice.filter);
    if (format && !path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + format->fileExtension();
    QPalette white = m_pathField->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        white.setBrush(group, QPalette::Text, QBrush(Qt::white, Qt::SolidPattern));
    m_pathField->setPalette(white);
    chooseTarget(path, choice.filter);
    m_tree->clearSelection(); // the tree's entry is no longer the target
    if (!m_pathField->text().isEmpty()) m_tree->setEnabled(true);
    emit dialogClosed();
}

// A corner pin of other than four tracks asks which four are its corners;
// false when the user cancelled.
bool ExportStep::chooseCorners(ExportParams &params)
{
    const Format *format = formatForFilter(params.targetFilter);
    const TrackTable &table = m_model->table();
    if (!format || !format->cornerPin || cornerPinError(table, params.rows, *format, {}).isEmpty())
        return true;
    const QStringList tracks = savedTrackNames(table, params.rows, *format);
    if (tracks.size() < 4) {
        showMessage(over(), cornerPinError(table, params.rows, *format, {}), QMessageBox::Warning);
        return false;
    }
    const std::optional<QStringList> corners =
        askCornerTracks(over(), QLatin1String(format->name), tracks);
    if (!corners) return false;
    params.corners = *corners;
    return true;
}

// The save on a worker thread under a progress dialog; Cancel stops it and
// every file stays as it was.
ExportResult ExportStep::run(const ExportParams &params)
{
    ExportResult result;
    const TrackTable &table = m_model->table();
    if (table.hasFormulas()) {
        // Formulas keep their values as they are read: read on this thread only.
        BusyCursor busy;
        return m_saver(table, params);
    }
    const ProgressRunner::Run run{
        QStringLiteral("Saving..."),
        QStringLiteral("Saving %1").arg(QFileInfo(params.targetPath).fileName()), QString(), 1000,
        ProgressRunner::AfterCancel::Wait};
    m_runner->run(run, [&](const std::atomic<bool> &cancel, std::atomic<qint64> &done) {
        ExportParams running = params;
        running.cancel = &cancel;
        running.progress = &done;
        result = m_saver(table, running);
    });
    return result;
}

bool ExportStep::askReplaceProtected(const QString &path)
{
    return askYesNo(over(),
                    QStringLiteral("\"%1\" is write-protected and belongs to another user.\n\n"
                                   "Replace it?")
                        .arg(QDir::toNativeSeparators(path)),
                    false);
}

// The table's checks before a save, on a worker thread (formulas, which
// keep their values as they are read, on this one); none when cancelled.
std::optional<Validation> ExportStep::validate()
{
    const TrackTable &table = m_model->table();
    if (table.hasFormulas()) return validateForExport(table);
    Validation validation;
    const ProgressRunner::Run run{QStringLiteral("Saving..."), QStringLiteral("Checking the table"),
                                  QString(), 1000, ProgressRunner::AfterCancel::Wait};
    if (!m_runner->run(run, [&](const std::atomic<bool> &, std::atomic<qint64> &) {
            validation = validateForExport(table);
        }))
        return std::nullopt;
    return validation;
}

void ExportStep::save(const QStringList &inputs)
{
    const std::optional<Validation> checked = validate();
    if (!checked) return;
    const Validation &validation = *checked;
    if (!validation.ok()) {
        showMessage(over(), validation.error);
        return;
    }
    m_rows.append(validation.markedRows);

    ExportParams params =
        exportParams(m_plate->settings(), m_formatLabel->statusTip(), m_pathField->text());
    params.rows = m_rows;
    params.inputs = inputs;
    if (!chooseCorners(params)) {
        m_rows.clear();
        return;
    }
    ExportResult result = run(params);
    // Another user's write-protected file is replaced only when the user says so.
    if (!result.writeProtected.isEmpty() && askReplaceProtected(result.writeProtected)) {
        params.replaceProtected = true;
        result = run(params);
    }
    if (!result.recovered.isEmpty())
        showMessage(over(), result.recovered.join(QStringLiteral("\n\n")),
                    QMessageBox::Information);
    m_rows.clear();
    // Cancelled, nothing was written; the table and the save line stay.
    if (result.error == QLatin1String(saveCancelledMessage)) return;
    if (!result.ok()) {
        showMessage(over(), result.error, QMessageBox::Warning);
        return;
    }
    m_model->undoStack()->setClean(); // what the table holds is in a file
    showStatus(summary(params, result));
    const QStringList told = notes(result);
    if (!told.isEmpty())
        showMessage(over(), told.join(QStringLiteral("\n\n")), QMessageBox::Information);
}

QString ExportStep::summary(const ExportParams &params, const ExportResult &result) const
{
    const QString target = QFileInfo(m_pathField->text()).fileName();
    QString text =
        !params.rows.isEmpty() && params.rows.size() < m_model->rowCount()
            ? QStringLiteral("Saved %1 of %2 to %3.")
                  .arg(counted(result.rows, QStringLiteral("marked row"),
                               QStringLiteral("marked rows")),
                       QLocale().toString(m_model->rowCount()), target)
            : QStringLiteral("Saved %1 of %2 to %3.")
                  .arg(counted(result.rows, QStringLiteral("row"), QStringLiteral("rows")),
                       counted(result.tracks, QStringLiteral("track"), QStringLiteral("tracks")),
                       target);
    if (!result.trackFiles.isEmpty()) {
        QStringList files;
        for (const TrackFile &file : result.trackFiles)
            files << QFileInfo(file.path).fileName();
        const int shown = 8;
        text += QStringLiteral("\nOne file per track: %1")
                    .arg(files.mid(0, shown).join(QStringLiteral(", ")));
        if (files.size() > shown)
            text += QStringLiteral(" and %1 more").arg(QLocale().toString(files.size() - shown));
        text += QLatin1Char('.');
    }
    if (!result.renamed.isEmpty())
        text += QStringLiteral("\n%1 renamed: the format cannot hold %2.")
                    .arg(counted(result.renamed.size(), QStringLiteral("track"),
                                 QStringLiteral("tracks")),
                         result.renamed.size() == 1 ? QStringLiteral("its name as it is")
                                                    : QStringLiteral("their names as they are"));
    if (!m_plate->applyNotes().isEmpty())
        text += QStringLiteral("\nConventions: %1.")
                    .arg(m_plate->applyNotes().join(QStringLiteral("; ")));
    return text;
}

// What the save changed that the user should know: the writer's notes,
// files not named exactly after their tracks, tracks renamed.
QStringList ExportStep::notes(const ExportResult &result) const
{
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
            lines << renamedNote(track, m_formatLabel->statusTip());
        if (result.renamed.size() > shown)
            lines << QStringLiteral("… and %1 more").arg(result.renamed.size() - shown);
        notes << lines.join(QLatin1Char('\n'));
    }
    return notes;
}
