// SPDX-License-Identifier: Apache-2.0
#include "editing.h"

#include "busycursor.h"
#include "counting.h"
#include "look.h"
#include "messages.h"
#include "progressrunner.h"
#include "tablepanel.h"
#include "trackmodel.h"

#include "edit/celledits.h"
#include "edit/groups.h"
#include "edit/rowedits.h"
#include "edit/sort.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QTableView>

#include <algorithm>

using namespace corvane;

TableEditing::TableEditing(QWidget *over, TablePanel *table, TrackModel *model,
                           ProgressRunner *runner)
    : QObject(over), m_over(over), m_table(table), m_model(model), m_runner(runner)
{
}

bool TableEditing::askText(QString &text, const QString &prompt)
{
    QInputDialog dialog(m_over, Qt::Dialog);
    dialog.setPalette(look::applicationPalette());
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    if (dialog.exec() != QDialog::Accepted) return false;
    text = dialog.textValue();
    return true;
}

void TableEditing::copy()
{
    QString text = m_groupCopyText;
    if (text.isEmpty()) text = copyText(m_model->table(), m_table->firstSelectedRange());
    m_groupCopyText.clear();
    QGuiApplication::clipboard()->setText(text);
}

void TableEditing::paste()
{
    PasteResult result =
        pasteText(*m_model, m_table->firstSelectedRange(), QGuiApplication::clipboard()->text());
    if (!result.error.isEmpty()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Spreadsheet"), result.error,
                        QMessageBox::Ok, m_over);
        box.exec();
        return;
    }
    m_model->done(QStringLiteral("Paste"), std::move(result.edit));
    if (result.outside > 0)
        showMessage(m_over,
                    QStringLiteral("%1 pasted cells lay outside the table and were left out.")
                        .arg(result.outside),
                    QMessageBox::Information);
}

void TableEditing::clearSelected()
{
    m_model->done(QStringLiteral("Clear Selected"),
                  setCellsText(*m_model, m_table->selection(), QString()));
}

void TableEditing::deleteRows()
{
    BusyCursor busy;
    m_model->done(QStringLiteral("Delete Entire Rows"),
                  corvane::deleteRows(*m_model, m_table->selectedRows()));
}

void TableEditing::markSelectedRows(bool marked)
{
    m_model->done(marked ? QStringLiteral("Set as Selected") : QStringLiteral("Deselect"),
                  markRows(*m_model, m_table->selectedRows(), marked));
}

void TableEditing::rename()
{
    // Only names change: a name typed into a Frame or coordinate cell would
    // spoil the row.
    const CellSelection names = inColumn(m_table->selection(), NameColumn);
    if (names.empty()) {
        showMessage(m_over,
                    QStringLiteral("Rename changes track names: select the Track Name cells of "
                                   "the tracks to rename (Select Group > Track Names, Ctrl+T)."),
                    QMessageBox::Information);
        return;
    }
    const CellRange &last = names.back();
    QString text = m_model->table().text(last.bottom, NameColumn);
    if (!askText(text, QStringLiteral("New track name:"))) return;
    m_model->done(QStringLiteral("Rename"), setCellsText(*m_model, names, text));
}

void TableEditing::addRows()
{
    QString text;
    if (!askText(text, QStringLiteral("Rows to add:"))) return;
    m_model->done(QStringLiteral("Add Rows"), corvane::addRows(*m_model, text.toInt()));
    m_table->view()->scrollToBottom();
}

void TableEditing::moveSelectedRows(RowMove move)
{
    moveRows(move, 1);
}

void TableEditing::moveSelectedRowsToLine()
{
    if (fullySelectedRows(m_table->selection(), m_model->rowCount(), m_model->columnCount())
            .empty()) {
        showMessage(m_over,
                    QStringLiteral("Go to Line moves whole rows: select the rows to move (click "
                                   "their row numbers), then choose the line."),
                    QMessageBox::Information);
        return;
    }
    QString text;
    if (!askText(text, QStringLiteral("Move the selected rows to line:"))) return;
    const int line = std::clamp(text.toInt(), 1, std::max(1, m_model->rowCount()));
    moveRows(RowMove::ToLine, line);
}

void TableEditing::moveRows(RowMove move, int line)
{
    const std::vector<int> rows =
        fullySelectedRows(m_table->selection(), m_model->rowCount(), m_model->columnCount());
    if (rows.empty()) return;
    static const char *const names[] = {"Move First", "Move Up", "Move Down", "Move Last",
                                        "Move Go to Line"};
    m_model->done(QLatin1String(names[int(move)]), corvane::moveRows(*m_model, rows, move, line));
    // The moved rows keep their selection; show where they went.
    const std::vector<int> now =
        fullySelectedRows(m_table->selection(), m_model->rowCount(), m_model->columnCount());
    if (now.empty()) return;
    const int target = move == RowMove::Down ? now.back() : now.front();
    m_table->view()->scrollTo(m_model->index(target, 0), move == RowMove::ToLine
                                                             ? QAbstractItemView::PositionAtCenter
                                                             : QAbstractItemView::EnsureVisible);
}

void TableEditing::selectGroup(GroupKind kind)
{
    const QModelIndex reference = m_table->lastSelectedCell();
    if (!reference.isValid()) {
        showMessage(m_over,
                    kind == GroupKind::Shape
                        ? QStringLiteral("Shape selects the rows of the shape a selected cell "
                                         "belongs to: select a cell of the shape first.")
                        : QStringLiteral("Select Group selects by a selected cell: select a "
                                         "cell of the track first."),
                    QMessageBox::Information);
        return;
    }
    const Group group = corvane::selectGroup(m_model->table(), reference.row(), kind);
    m_groupCopyText = group.copyText;
    QTableView *view = m_table->view();
    if (kind == GroupKind::Shape) {
        const QModelIndex current = m_model->index(group.currentRow, 0);
        view->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        if (!current.isValid()) view->scrollToTop();
    }
    m_table->selectCells(group.rows, group.firstColumn, group.lastColumn,
                         QItemSelectionModel::Select);
    if (kind == GroupKind::Shape && group.rows.empty())
        showMessage(m_over,
                    QStringLiteral("No shape was selected: \"%1\" is a point track. Shape "
                                   "selects the rows of a shape, the tracks whose names begin "
                                   "with \"S\" and share the text before their first \"_\" "
                                   "(S01_Track_0001, S01_Track_0002, …).")
                        .arg(m_model->table().name(reference.row())),
                    QMessageBox::Information);
    if (kind == GroupKind::Shape && group.scrollRow >= 0)
        view->scrollTo(m_model->index(group.scrollRow, 0), QAbstractItemView::PositionAtCenter);
}

// The order is worked out on a worker; the undo step is the order and the
// few rows the sort gives their columns' colours.
void TableEditing::sortRows(bool ascending)
{
    struct Job
    {
        std::vector<int> order, toColour; // toColour: rows after the sort
    };
    auto job = std::make_shared<Job>();
    const TrackTable &table = m_model->table();
    const QString title =
        ascending ? QStringLiteral("Less to Greater") : QStringLiteral("Greater to Less");
    const ProgressRunner::Run run{
        title,
        QStringLiteral("Sorting %1")
            .arg(counted(table.rowCount(), QStringLiteral("row"), QStringLiteral("rows"))),
        QString(), 0, ProgressRunner::AfterCancel::Wait};
    const bool sorted = m_runner->run(
        run, [job, &table, ascending](const std::atomic<bool> &, std::atomic<qint64> &) {
            job->order = sortOrder(table, ascending ? SortOrder::Ascending : SortOrder::Descending);
            const std::vector<int> where = inverse(job->order);
            for (int r : rowsToColour(table))
                job->toColour.push_back(where[size_t(r)]);
            std::sort(job->toColour.begin(), job->toColour.end());
        });
    if (!sorted) return;
    std::vector<EditPtr> steps;
    steps.push_back(RowsReordered::reorder(*m_model, std::move(job->order)));
    if (!job->toColour.empty()) {
        const std::vector<int> rows = job->toColour;
        steps.push_back(changeRows(*m_model, std::move(job->toColour),
                                   [&](TrackTable &t) { colourRows(t, rows); }));
    }
    m_model->done(title, std::make_unique<EditSequence>(std::move(steps)));
}
