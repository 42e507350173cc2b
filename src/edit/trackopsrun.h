// SPDX-License-Identifier: Apache-2.0
// What the track operations share: the tracks of the table, the ones an
// operation works on, reading a row's source point and frame, and the words
// of the summaries. Only the operations' sources include it.
#pragma once

#include "trackops.h"

#include "table/tracktable.h"

#include <QString>

#include <vector>

namespace corvane {

struct OperationRun
{
    const TrackTable &view;
    TrackTable *table; // null when only counting
    PlateSize plate;
    const TrackOperation &op;
    const ValueSpace *space;
    std::vector<int> trackOf; // row -> track index
    std::vector<QString> trackNames;
    std::vector<char> selectedTrack; // by track index; every track when no rows were given
    TrackOperationResult result;

    OperationRun(const TrackTable &view, TrackTable *table, PlateSize plate,
                 const TrackOperation &op, const std::vector<int> *onlyRows,
                 const ValueSpace *space);

    bool writing() const { return table != nullptr; }
    bool selected(int row) const { return selectedTrack[size_t(trackOf[size_t(row)])] != 0; }
    bool everyTrack() const { return m_everyTrack; }
    int rowCount() const { return view.rowCount(); }
    // Sets the error, naming the row's track and frame.
    void rowError(int row, const QString &what);
    // The values Apply converts from (false with the error set when one is no number).
    bool sourcePoint(int row, double &x, double &y);
    bool frameOf(int row, int &frame);
    // The number of selected tracks with at least one row in `rows` (a flag per row).
    int tracksOf(const std::vector<char> &rowFlags) const;

private:
    bool m_everyTrack = true;
};

// "12 keys of 3 tracks", "1 key of 1 track".
QString keysOfTracks(int keys, int tracks);
QString plural(int n, const char *one, const char *many);
QString number(double v); // shortest text that reads back exactly

void runRename(OperationRun &run);
void runTime(OperationRun &run);    // slip, start at
void runRemoval(OperationRun &run); // trim, drop before, minimum keys
void runFillGaps(OperationRun &run);
void runGeometry(OperationRun &run); // shift … lens

} // namespace corvane
