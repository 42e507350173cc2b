// SPDX-License-Identifier: Apache-2.0
#include "selection.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

namespace {

// One bit per column for every row of the table.
std::vector<std::uint32_t> columnMasks(const CellSelection &selection, int rowCount)
{
    std::vector<std::uint32_t> masks(size_t(std::max(rowCount, 0)), 0);
    for (const CellRange &range : selection) {
        if (range.isEmpty()) continue;
        std::uint32_t bits = 0;
        for (int c = std::max(range.left, 0); c <= std::min(range.right, 31); ++c)
            bits |= 1u << c;
        for (int r = std::max(range.top, 0); r <= std::min(range.bottom, rowCount - 1); ++r)
            masks[size_t(r)] |= bits;
    }
    return masks;
}

std::vector<int> rowsWhere(const std::vector<std::uint32_t> &masks, std::uint32_t need)
{
    std::vector<int> rows;
    for (size_t r = 0; r < masks.size(); ++r)
        if (masks[r] && (masks[r] & need) == need) rows.push_back(int(r));
    return rows;
}

} // namespace

std::vector<int> selectedRows(const CellSelection &selection, int rowCount)
{
    return rowsWhere(columnMasks(selection, rowCount), 0);
}

CellSelection inColumn(const CellSelection &selection, int column)
{
    CellSelection out;
    for (const CellRange &range : selection)
        if (!range.isEmpty() && range.left <= column && column <= range.right)
            out.push_back({range.top, column, range.bottom, column});
    return out;
}

std::vector<int> fullySelectedRows(const CellSelection &selection, int rowCount, int columns)
{
    if (columns <= 0) return {};
    const std::uint32_t all = columns >= 32 ? ~0u : (1u << columns) - 1;
    return rowsWhere(columnMasks(selection, rowCount), all);
}

} // namespace corvane
