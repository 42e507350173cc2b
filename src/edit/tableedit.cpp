// SPDX-License-Identifier: Apache-2.0
#include "tableedit.h"

#include <numeric>

namespace corvane {

EditTarget::~EditTarget() = default;

RowBlock EditTarget::takeRows(const std::vector<int> &rows)
{
    return table().takeRows(rows);
}

void EditTarget::putRows(const std::vector<int> &rows, RowBlock &&block)
{
    table().putRows(rows, std::move(block));
}

void EditTarget::reorderRows(const std::vector<int> &order)
{
    table().permuteRows(order);
}

void EditTarget::swapTable(TrackTable &other, const std::vector<int> &)
{
    std::swap(table(), other);
}

void EditTarget::rowsChanged(const std::vector<int> &) {}

void EditTarget::changeEveryRow(const std::function<void(TrackTable &)> &change)
{
    change(table());
}

TableEdit::~TableEdit() = default;

void ConvertedExchanged::toggle(EditTarget &target)
{
    target.changeEveryRow([&](TrackTable &table) { table.exchangeConverted(m_other); });
}

void ImportedRowsConverted::toggle(EditTarget &target)
{
    target.changeEveryRow([&](TrackTable &table) {
        if (m_converted)
            table.restoreImported(0, table.rowCount(), m_frameShift);
        else
            m_convert(table, 0, table.rowCount());
        ShownToSource shown = table.shownToSource();
        table.setShownToSource(std::move(m_other));
        m_other = std::move(shown);
        table.touched();
    });
    m_converted = !m_converted;
}

void RowsRewritten::toggle(EditTarget &target)
{
    target.table().swapRows(m_rows, m_other);
    target.rowsChanged(m_rows);
}

EditPtr RowsAddedOrRemoved::added(std::vector<int> rows)
{
    auto edit = std::make_unique<RowsAddedOrRemoved>();
    edit->m_rows = std::move(rows);
    edit->m_inTable = true;
    return edit;
}

EditPtr RowsAddedOrRemoved::remove(EditTarget &target, std::vector<int> rows)
{
    auto edit = std::make_unique<RowsAddedOrRemoved>();
    edit->m_rows = std::move(rows);
    edit->m_taken = target.takeRows(edit->m_rows);
    edit->m_inTable = false;
    return edit;
}

void RowsAddedOrRemoved::toggle(EditTarget &target)
{
    if (m_inTable)
        m_taken = target.takeRows(m_rows);
    else
        target.putRows(m_rows, std::move(m_taken));
    m_inTable = !m_inTable;
}

EditPtr RowsReordered::reorder(EditTarget &target, std::vector<int> order)
{
    auto edit = std::make_unique<RowsReordered>();
    edit->m_order = std::move(order);
    edit->toggle(target);
    return edit;
}

void RowsReordered::toggle(EditTarget &target)
{
    target.reorderRows(m_order);
    m_order = inverse(m_order);
}

void TableReplaced::toggle(EditTarget &target)
{
    target.swapTable(m_other, m_order);
    m_order = inverse(m_order);
}

void EditSequence::toggle(EditTarget &target)
{
    if (m_done)
        for (auto step = m_steps.rbegin(); step != m_steps.rend(); ++step)
            (*step)->toggle(target);
    else
        for (EditPtr &step : m_steps)
            step->toggle(target);
    m_done = !m_done;
}

qint64 EditSequence::memoryBytes() const
{
    qint64 bytes = 0;
    for (const EditPtr &step : m_steps)
        bytes += step->memoryBytes();
    return bytes;
}

std::vector<int> inverse(const std::vector<int> &order)
{
    std::vector<int> back(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        back[size_t(order[i])] = int(i);
    return back;
}

std::vector<int> rowRange(int first, int last)
{
    std::vector<int> rows(size_t(std::max(0, last - first + 1)));
    std::iota(rows.begin(), rows.end(), first);
    return rows;
}

} // namespace corvane
