// SPDX-License-Identifier: Apache-2.0
// Edits of cell contents: clipboard copy and paste, clearing and renaming
// selected cells, and the row mark that chooses the rows a save writes.
#pragma once

#include "selection.h"
#include "tableedit.h"

#include <QString>

namespace corvane {

// The texts of the range: cells separated by tabs, rows by line feeds, no
// line feed after the last row; a formula cell gives its formula.
QString copyText(const TrackTable &table, const CellRange &range);

struct PasteResult
{
    EditPtr edit;    // null when nothing was pasted
    QString error;   // the paste did not fit the selection
    int outside = 0; // pasted cells that fell outside the table
};

extern const char *const pasteShapeMessage;

// Pastes clipboard text at the range: a block of the range's size, or any
// block at a single selected cell. One line feed at the end of the text
// (as spreadsheets leave it) ends the last row rather than adding one.
PasteResult pasteText(EditTarget &target, const CellRange &range, const QString &text);

// Sets the text of every selected cell that holds an item (an empty text
// clears it, keeping its colours and tips).
EditPtr setCellsText(EditTarget &target, const CellSelection &selection, const QString &text);

// Gives the rows the mark colour, or their columns' colours back.
EditPtr markRows(EditTarget &target, const std::vector<int> &rows, bool marked);

} // namespace corvane
