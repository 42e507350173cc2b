// SPDX-License-Identifier: Apache-2.0
// Sorting rows by track name, then frame ("Less to Greater", "Greater to Less").
#pragma once

#include <QString>

#include <vector>

namespace corvane {

class TrackTable;

enum class SortOrder { Ascending, Descending };

// The sort key: the name followed by the frame padded to five characters
// (frame -5 gives "0000-5"); keys compare code unit by code unit.
QString sortKey(const QString &name, int frame);

// Reorders whole rows (every attribute moves with its row); rows with equal
// keys keep their table order. Afterwards every cell has its column's colour.
// Returns the new order: new row i is old row order[i].
std::vector<int> sortRows(TrackTable &table, SortOrder order);

// The parts of sortRows, for a table another thread shows: the order
// (worked out on every core, reading the table only), the rows with a cell
// not in its column's colour, and their colouring.
std::vector<int> sortOrder(const TrackTable &table, SortOrder order);
std::vector<int> rowsToColour(const TrackTable &table);
void colourRows(TrackTable &table, const std::vector<int> &rows);

} // namespace corvane
