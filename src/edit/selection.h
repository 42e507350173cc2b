// SPDX-License-Identifier: Apache-2.0
// A selection of cells as the editing tools take it from the view: ranges
// of rows and columns, both ends included.
#pragma once

#include <vector>

namespace corvane {

struct CellRange
{
    int top = 0, left = 0, bottom = -1, right = -1;
    bool isEmpty() const { return bottom < top || right < left; }
    int rows() const { return isEmpty() ? 0 : bottom - top + 1; }
    int columns() const { return isEmpty() ? 0 : right - left + 1; }
};

using CellSelection = std::vector<CellRange>;

// The rows that hold a selected cell, ascending, each once.
std::vector<int> selectedRows(const CellSelection &selection, int rowCount);
// The selection's cells in one column only.
CellSelection inColumn(const CellSelection &selection, int column);
// The rows whose every one of `columns` cells is selected, ascending.
std::vector<int> fullySelectedRows(const CellSelection &selection, int rowCount, int columns);

} // namespace corvane
