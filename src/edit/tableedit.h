// SPDX-License-Identifier: Apache-2.0
// Undoable changes to the track table. An edit is made by doing the change;
// afterwards `toggle` takes the table back to the state before and, called
// again, forward to the state after, so undo and redo are the same call.
// Edits keep only what they touched: the rows they rewrote, the rows they
// removed or a row order; only edits of every row keep a whole table.
#pragma once

#include "table/tracktable.h"

#include <functional>
#include <memory>
#include <vector>

namespace corvane {

// The table an edit changes, with the hooks through which a view learns
// of each change. The default hooks change the table and tell no one.
class EditTarget
{
public:
    virtual ~EditTarget();
    virtual TrackTable &table() = 0;

    // `rows` ascend without repeats.
    virtual RowBlock takeRows(const std::vector<int> &rows);
    virtual void putRows(const std::vector<int> &rows, RowBlock &&block);
    // New row i is old row order[i].
    virtual void reorderRows(const std::vector<int> &order);
    // Exchanges the whole table; a non-empty `order` says where the rows
    // went (new row i is old row order[i]).
    virtual void swapTable(TrackTable &other, const std::vector<int> &order);
    // Rows rewritten in place (after the change).
    virtual void rowsChanged(const std::vector<int> &rows);
    // change(table) rewrites cells of every row in place (an Apply's values
    // put in or taken out), the rows staying where they are.
    virtual void changeEveryRow(const std::function<void(TrackTable &)> &change);
};

class TableEdit
{
public:
    virtual ~TableEdit();
    virtual void toggle(EditTarget &target) = 0;
    // About how much memory the edit keeps for its undo and redo.
    virtual qint64 memoryBytes() const = 0;
};

using EditPtr = std::unique_ptr<TableEdit>;

// Rewrites rows in place: `change` runs once; toggling exchanges the rows
// with the copies taken before it ran.
template <typename Change>
EditPtr changeRows(EditTarget &target, std::vector<int> rows, Change &&change);

class RowsRewritten : public TableEdit
{
public:
    RowsRewritten(std::vector<int> rows, RowBlock before)
        : m_rows(std::move(rows)), m_other(std::move(before))
    {
    }
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override
    {
        return qint64(m_rows.capacity() * sizeof(int)) + m_other.memoryBytes();
    }

private:
    std::vector<int> m_rows;
    RowBlock m_other; // the rows of the state the table is not in
};

// Rows added (`present`) or removed by the edit.
class RowsAddedOrRemoved : public TableEdit
{
public:
    // Rows now in the table at `rows`.
    static EditPtr added(std::vector<int> rows);
    // Removes the rows.
    static EditPtr remove(EditTarget &target, std::vector<int> rows);
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override
    {
        return qint64(m_rows.capacity() * sizeof(int)) + m_taken.memoryBytes();
    }

private:
    std::vector<int> m_rows;
    RowBlock m_taken;
    bool m_inTable = true;
};

// Rows reordered by a permutation (new row i is old row order[i]).
class RowsReordered : public TableEdit
{
public:
    static EditPtr reorder(EditTarget &target, std::vector<int> order);
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override { return qint64(m_order.capacity() * sizeof(int)); }

private:
    std::vector<int> m_order; // what the next toggle applies
};

// The permutation that undoes `order`.
std::vector<int> inverse(const std::vector<int> &order);

// The whole table exchanged with another: for edits of every row.
class TableReplaced : public TableEdit
{
public:
    // `before` is the table as it was; `order` how its rows moved, if they did.
    explicit TableReplaced(TrackTable before, std::vector<int> order = {})
        : m_other(std::move(before)), m_order(inverse(order))
    {
    }
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override
    {
        return m_other.memoryBytes() + qint64(m_order.capacity() * sizeof(int));
    }

private:
    TrackTable m_other;
    std::vector<int> m_order; // where the next toggle moves the rows
};

// An Apply worked out beside the table: toggling exchanges every row's
// Apply values with the other state's again.
class ConvertedExchanged : public TableEdit
{
public:
    explicit ConvertedExchanged(TrackTable::ConvertedRows before) : m_other(std::move(before)) {}
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override
    {
        return qint64(m_other.rows.capacity() * sizeof(TrackTable::ConvertedRow));
    }

private:
    TrackTable::ConvertedRows m_other;
};

// An Apply into rows that showed their imported values (the first after an
// import): undone, they show them again, their frames shifted back; redone,
// `convert` makes the same values again. It keeps none of the rows.
class ImportedRowsConverted : public TableEdit
{
public:
    using Convert = std::function<void(TrackTable &table, int begin, int end)>;
    // `before` is the table's inverse from before the Apply.
    ImportedRowsConverted(Convert convert, qint64 frameShift, ShownToSource before)
        : m_convert(std::move(convert)), m_frameShift(frameShift), m_other(std::move(before))
    {
    }
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override { return qint64(sizeof(*this)); }

private:
    Convert m_convert;
    qint64 m_frameShift;
    ShownToSource m_other; // the inverse of the state the table is not in
    bool m_converted = true;
};

// Edits done one after another: toggled, undone in the opposite order.
class EditSequence : public TableEdit
{
public:
    explicit EditSequence(std::vector<EditPtr> steps) : m_steps(std::move(steps)) {}
    void toggle(EditTarget &target) override;
    qint64 memoryBytes() const override;

private:
    std::vector<EditPtr> m_steps;
    bool m_done = true;
};

// Every row index from first to last.
std::vector<int> rowRange(int first, int last);

template <typename Change>
EditPtr changeRows(EditTarget &target, std::vector<int> rows, Change &&change)
{
    RowBlock before = target.table().copyRows(rows);
    change(target.table());
    target.rowsChanged(rows);
    return std::make_unique<RowsRewritten>(std::move(rows), std::move(before));
}

} // namespace corvane
