// SPDX-License-Identifier: Apache-2.0
// The view's window on the track table: serves every cell attribute under
// the Qt role a table item would carry it in.
#pragma once

#include "edit/tableedit.h"
#include "table/tracktable.h"

#include <QAbstractTableModel>

#include <functional>

#include <vector>

class QUndoStack;

// Edits reach the table through the model: as an edit target it tells the
// view exactly what changed, and every edit goes onto its undo stack.
class TrackModel : public QAbstractTableModel, public corvane::EditTarget
{
    Q_OBJECT
public:
    explicit TrackModel(QObject *parent = nullptr);

    corvane::TrackTable &table() override { return m_table; }
    const corvane::TrackTable &table() const { return m_table; }

    QUndoStack *undoStack() const { return m_undo; }
    // Puts an edit that has been done on the undo stack under `text`
    // ("Paste" gives "Undo Paste"); a null edit changed nothing.
    void done(const QString &text, corvane::EditPtr edit,
              std::function<void(bool undone)> follow = {});
    // The undo history keeps within this many bytes (at least its last
    // step), letting the oldest steps go.
    void setHistoryBudget(qint64 bytes) { m_historyBudget = bytes; }
    qint64 historyBudget() const { return m_historyBudget; }
    int droppedSteps() const { return m_droppedSteps; }

    corvane::RowBlock takeRows(const std::vector<int> &rows) override;
    void putRows(const std::vector<int> &rows, corvane::RowBlock &&block) override;
    void reorderRows(const std::vector<int> &order) override;
    void swapTable(corvane::TrackTable &other, const std::vector<int> &order) override;
    void changeEveryRow(const std::function<void(corvane::TrackTable &)> &change) override;
    void rowsChanged(const std::vector<int> &rows) override;

signals:
    // The whole table was swapped for another (undo or redo of Apply, an
    // import, a sort or New).
    void tableSwapped();
    // Old undo steps were let go to keep the history within its budget.
    void historyTrimmed(int droppedSteps);

public:
    // Replaces the whole table (a new list, New, Reset All).
    template <typename F> void replace(F &&f)
    {
        beginResetModel();
        f(m_table);
        endResetModel();
    }

    // Grows the table by count rows at its end; f makes them.
    template <typename F> void append(int count, F &&f)
    {
        if (count <= 0) return f(m_table);
        beginInsertRows(QModelIndex(), rowCount(), rowCount() + count - 1);
        f(m_table);
        endInsertRows();
    }

    // The table's rows were reordered (new row i is old row order[i]; the
    // row count is unchanged): selections and the current cell follow their rows.
    void rowsReordered(const std::vector<int> &order);

    // Cells of rows first..last changed in place (all rows by default).
    void cellsChanged(int first = 0, int last = -1);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void remapPersistent(const std::vector<int> &order);

    corvane::TrackTable m_table;
    QUndoStack *m_undo = nullptr;
    qint64 m_historyBudget = qint64(1) << 30;
    int m_droppedSteps = 0;
    void keepHistoryWithinBudget();
};
