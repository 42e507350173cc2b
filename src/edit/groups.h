// SPDX-License-Identifier: Apache-2.0
// Select Group: the cells of one column group over every row of a track
// (or of a shape), and the text the next copy puts on the clipboard.
#pragma once

#include <QString>

#include <vector>

namespace corvane {

class TrackTable;

enum class GroupKind { TrackNames, Frames, Coordinates, Rows, Shape };

struct Group
{
    std::vector<int> rows; // ascending
    int firstColumn = 0, lastColumn = 0;
    QString copyText; // one line per row, each ended by a line feed
    // Shape: the row to make current and the row to centre (-1: none).
    int currentRow = -1, scrollRow = -1;
};

// The group of the track (or shape) of `referenceRow`. A shape covers every
// row from its first to its last vertex row, rows of other tracks between
// them included.
Group selectGroup(const TrackTable &table, int referenceRow, GroupKind kind);

} // namespace corvane
