// SPDX-License-Identifier: Apache-2.0
// The Edit menu and the row buttons: each slot takes the selection from the
// view, asks what it must ask, and hands the edit to the core; the model
// puts the edit on the undo stack.
#include "mainwindow.h"

#include "busycursor.h"
#include "edit/celledits.h"
#include "edit/groups.h"
#include "edit/rowedits.h"
#include "trackmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>

using namespace corvane;

namespace {

CellRange rangeOf(const QItemSelectionRange &range)
{
    return CellRange{range.top(), range.left(), range.bottom(), range.right()};
}

} // namespace

CellSelection MainWindow::tableSelection() const
{
    CellSelection out;
    for (const QItemSelectionRange &range : tableDataWidget->selectionModel()->selection())
        out.push_back(rangeOf(range));
    return out;
}

CellRange MainWindow::firstSelectedRange() const
{
    const QItemSelection selection = tableDataWidget->selectionModel()->selection();
    return selection.isEmpty() ? CellRange() : rangeOf(selection.first());
}

// The cell the selection reports last: the bottom right of its last range.
QModelIndex MainWindow::lastSelectedCell() const
{
    const QItemSelection selection = tableDataWidget->selectionModel()->selection();
    if (selection.isEmpty()) return QModelIndex();
    return selection.last().bottomRight();
}

bool MainWindow::askText(QString &text, const QString &prompt)
{
    QInputDialog dialog(this, Qt::Dialog);
    dialog.setPalette(X0->palette());
    dialog.setLabelText(prompt);
    dialog.setTextValue(text);
    if (dialog.exec() != QDialog::Accepted) return false;
    text = dialog.textValue();
    return true;
}

void MainWindow::on_actionCopy_triggered()
{
    QString text = m_groupCopyText;
    if (text.isEmpty()) text = copyText(m_model->table(), firstSelectedRange());
    m_groupCopyText.clear();
    QGuiApplication::clipboard()->setText(text);
}

void MainWindow::on_actionPaste_triggered()
{
    PasteResult result =
        pasteText(*m_model, firstSelectedRange(), QGuiApplication::clipboard()->text());
    if (!result.error.isEmpty()) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Spreadsheet"), result.error,
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    m_model->done(QStringLiteral("Paste"), std::move(result.edit));
    if (result.outside > 0)
        showMessage(QStringLiteral("%1 pasted cells lay outside the table and were left out.")
                        .arg(result.outside),
                    QMessageBox::Information);
}

void MainWindow::on_actionDelete_triggered()
{
    m_model->done(QStringLiteral("Clear Selected"),
                  setCellsText(*m_model, tableSelection(), QString()));
}

void MainWindow::on_actionDeleteEntireRows_triggered()
{
    BusyCursor busy;
    m_model->done(QStringLiteral("Delete Entire Rows"),
                  deleteRows(*m_model, selectedRows(tableSelection(), m_model->rowCount())));
}

void MainWindow::markSelectedRows(bool marked)
{
    m_model->done(marked ? QStringLiteral("Set as Selected") : QStringLiteral("Deselect"),
                  markRows(*m_model, selectedRows(tableSelection(), m_model->rowCount()), marked));
}

void MainWindow::on_actionSetAsSelected_triggered()
{
    markSelectedRows(true);
}

void MainWindow::on_actionDeselect_triggered()
{
    markSelectedRows(false);
}

void MainWindow::on_actionRename_triggered()
{
    // Only names change: a name typed into a Frame or coordinate cell would
    // spoil the row.
    const CellSelection names = inColumn(tableSelection(), NameColumn);
    if (names.empty()) {
        showMessage(QStringLiteral("Rename changes track names: select the Track Name cells of the "
                                   "tracks to rename (Select Group > Track Names, Ctrl+T)."),
                    QMessageBox::Information);
        return;
    }
    const CellRange &last = names.back();
    QString text = m_model->table().text(last.bottom, NameColumn);
    if (!askText(text, QStringLiteral("New track name:"))) return;
    m_model->done(QStringLiteral("Rename"), setCellsText(*m_model, names, text));
}

void MainWindow::on_actionAddRows_triggered()
{
    QString text;
    if (!askText(text, QStringLiteral("Rows to add:"))) return;
    m_model->done(QStringLiteral("Add Rows"), addRows(*m_model, text.toInt()));
    tableDataWidget->scrollToBottom();
}

void MainWindow::moveSelectedRows(RowMove move, int line)
{
    const std::vector<int> rows =
        fullySelectedRows(tableSelection(), m_model->rowCount(), m_model->columnCount());
    if (rows.empty()) return;
    static const char *const names[] = {"Move First", "Move Up", "Move Down", "Move Last",
                                        "Move Go to Line"};
    m_model->done(QLatin1String(names[int(move)]), moveRows(*m_model, rows, move, line));
    // The moved rows keep their selection; show where they went.
    const std::vector<int> now =
        fullySelectedRows(tableSelection(), m_model->rowCount(), m_model->columnCount());
    if (now.empty()) return;
    const int target = move == RowMove::Down ? now.back() : now.front();
    tableDataWidget->scrollTo(m_model->index(target, 0), move == RowMove::ToLine
                                                             ? QAbstractItemView::PositionAtCenter
                                                             : QAbstractItemView::EnsureVisible);
}

void MainWindow::on_rowFirst_clicked()
{
    moveSelectedRows(RowMove::First);
}

void MainWindow::on_rowUp_clicked()
{
    moveSelectedRows(RowMove::Up);
}

void MainWindow::on_rowDown_clicked()
{
    moveSelectedRows(RowMove::Down);
}

void MainWindow::on_rowLast_clicked()
{
    moveSelectedRows(RowMove::Last);
}

void MainWindow::on_rowSend_clicked()
{
    QString text;
    if (!askText(text, QStringLiteral("Line:"))) return;
    const int line = std::clamp(text.toInt(), 1, std::max(1, m_model->rowCount()));
    moveSelectedRows(RowMove::ToLine, line);
}

void MainWindow::selectGroup(GroupKind kind)
{
    const QModelIndex reference = lastSelectedCell();
    if (!reference.isValid()) return;
    const Group group = corvane::selectGroup(m_model->table(), reference.row(), kind);
    m_groupCopyText = group.copyText;
    QItemSelectionModel *model = tableDataWidget->selectionModel();
    if (kind == GroupKind::Shape) {
        const QModelIndex current = m_model->index(group.currentRow, 0);
        model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        if (!current.isValid()) tableDataWidget->scrollToTop();
    }
    selectCells(group.rows, group.firstColumn, group.lastColumn, QItemSelectionModel::Select);
    if (kind == GroupKind::Shape && group.rows.empty())
        showMessage(QStringLiteral("No shape was selected: \"%1\" is a point track. Shape "
                                   "selects the rows of a shape, the tracks whose names begin with "
                                   "\"S\" and share the text before their first \"_\" "
                                   "(S01_Track_0001, S01_Track_0002, …).")
                        .arg(m_model->table().name(reference.row())),
                    QMessageBox::Information);
    if (kind == GroupKind::Shape && group.scrollRow >= 0)
        tableDataWidget->scrollTo(m_model->index(group.scrollRow, 0),
                                  QAbstractItemView::PositionAtCenter);
}

void MainWindow::selectCells(const std::vector<int> &rows, int firstColumn, int lastColumn,
                             QItemSelectionModel::SelectionFlags how)
{
    // One range per run of neighbouring rows (rows ascend).
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] <= rows[j] + 1)
            ++j;
        selection.select(m_model->index(rows[i], firstColumn), m_model->index(rows[j], lastColumn));
        i = j + 1;
    }
    tableDataWidget->selectionModel()->select(selection, how);
}

void MainWindow::on_actionTrackNames_triggered()
{
    selectGroup(GroupKind::TrackNames);
}

void MainWindow::on_actionFrameNos_triggered()
{
    selectGroup(GroupKind::Frames);
}

void MainWindow::on_actionXYCoord_triggered()
{
    selectGroup(GroupKind::Coordinates);
}

void MainWindow::on_actionRows_triggered()
{
    selectGroup(GroupKind::Rows);
}

void MainWindow::on_actionShape_triggered()
{
    selectGroup(GroupKind::Shape);
}
