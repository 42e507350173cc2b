// SPDX-License-Identifier: Apache-2.0
#include "rowedits.h"

#include <algorithm>
#include <numeric>

namespace corvane {

namespace {

void styleEmptyRow(TrackTable &table, int r)
{
    for (int c = 0; c < table.columnCount(); ++c) {
        table.setItemText(r, c, QString());
        table.setData(r, c, Qt::TextAlignmentRole, ImportedAlignment);
        table.setBackground(r, c, columnColour(c));
        if (c == NameColumn)
            table.setData(r, c, Qt::StatusTipRole, QStringLiteral("Empty"));
        else
            table.setData(r, c, Qt::WhatsThisRole, QStringLiteral("Boujou"));
    }
}

std::vector<int> unselected(int rowCount, const std::vector<char> &selected)
{
    std::vector<int> rows;
    rows.reserve(size_t(rowCount));
    for (int r = 0; r < rowCount; ++r)
        if (!selected[size_t(r)]) rows.push_back(r);
    return rows;
}

// Up: each selected row changes place with an unselected row just above it.
void stepUp(std::vector<int> &order, std::vector<char> &atSelected)
{
    for (size_t i = 1; i < order.size(); ++i)
        if (atSelected[i] && !atSelected[i - 1]) {
            std::swap(order[i], order[i - 1]);
            std::swap(atSelected[i], atSelected[i - 1]);
        }
}

} // namespace

EditPtr addRows(EditTarget &target, int count)
{
    TrackTable &table = target.table();
    const int old = table.rowCount();
    if (count < 0) {
        if (old + count < 0) return nullptr;
        return deleteRows(target, rowRange(old + count, old - 1));
    }
    if (count == 0) return nullptr;
    std::vector<int> rows = rowRange(old, old + count - 1);
    target.putRows(rows, RowBlock::blank(count));
    for (int r : rows)
        styleEmptyRow(table, r);
    target.rowsChanged(rows);
    return RowsAddedOrRemoved::added(std::move(rows));
}

EditPtr deleteRows(EditTarget &target, std::vector<int> rows)
{
    if (rows.empty()) return nullptr;
    return RowsAddedOrRemoved::remove(target, std::move(rows));
}

// The row order a move gives: new row i is old row order[i].
static std::vector<int> moveOrder(int rowCount, const std::vector<int> &rows, RowMove move,
                                  int line)
{
    std::vector<char> selected(size_t(rowCount), 0);
    for (int r : rows)
        if (r >= 0 && r < rowCount) selected[size_t(r)] = 1;
    std::vector<int> order(static_cast<size_t>(rowCount));
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> moved;
    for (int r = 0; r < rowCount; ++r)
        if (selected[size_t(r)]) moved.push_back(r);
    const std::vector<int> rest = unselected(rowCount, selected);

    switch (move) {
    case RowMove::Up:
    case RowMove::Down: {
        if (move == RowMove::Down) {
            std::reverse(order.begin(), order.end());
            std::reverse(selected.begin(), selected.end());
        }
        stepUp(order, selected);
        if (move == RowMove::Down) std::reverse(order.begin(), order.end());
        return order;
    }
    case RowMove::First:
        line = 1;
        break;
    case RowMove::Last:
        line = rowCount;
        break;
    case RowMove::ToLine:
        break;
    }
    const int start = std::clamp(line - 1, 0, int(rest.size()));
    order.clear();
    order.insert(order.end(), rest.begin(), rest.begin() + start);
    order.insert(order.end(), moved.begin(), moved.end());
    order.insert(order.end(), rest.begin() + start, rest.end());
    return order;
}

EditPtr moveRows(EditTarget &target, const std::vector<int> &rows, RowMove move, int line)
{
    std::vector<int> order = moveOrder(target.table().rowCount(), rows, move, line);
    bool same = true;
    for (size_t i = 0; i < order.size() && same; ++i)
        same = order[i] == int(i);
    if (same || rows.empty()) return nullptr;
    return RowsReordered::reorder(target, std::move(order));
}

} // namespace corvane
