// SPDX-License-Identifier: Apache-2.0
// Edits of the row list: adding empty rows, deleting rows and moving rows.
// Rows move whole, with every attribute (formulas, source format, tips, marks).
#pragma once

#include "tableedit.h"

namespace corvane {

// Adds `count` empty rows at the end (centred, in the column colours, the
// name cell's status tip "Empty", the others' what's-this "Boujou"); a
// negative count removes rows from the end, unless fewer rows are left than
// it asks to remove.
EditPtr addRows(EditTarget &target, int count);

// Removes exactly the rows given (ascending, each once).
EditPtr deleteRows(EditTarget &target, std::vector<int> rows);

enum class RowMove { First, Up, Down, Last, ToLine };

// Moves the selected rows (ascending, each once; they need not be
// neighbours). First and Last put them at the top or bottom in their
// order; Up and Down move each one past the unselected row before or after
// it; ToLine puts them together from line `line` (counted from 1), moved up
// as far as needed to fit. The other rows keep their order. Returns null
// when nothing moved.
EditPtr moveRows(EditTarget &target, const std::vector<int> &rows, RowMove move, int line = 1);

} // namespace corvane
