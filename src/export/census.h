// SPDX-License-Identifier: Apache-2.0
// The track census of an export: tracks as runs of equal names, rows per
// track, and vertex tracks per shape.
#pragma once

#include "formats/writecontext.h"

#include <QList>

#include <vector>

namespace corvane {

class TrackTable;

TrackCensus takeCensus(const TrackTable &table, const QList<int> &rows);
// Where each track (run of one name) of the rows starts: indexes into rows.
std::vector<int> trackStarts(const TrackTable &table, const QList<int> &rows);
// The same from the runs themselves: each run's name and rows.
TrackCensus censusOfRuns(const QStringList &runNames, const std::vector<int> &runLengths);
// The same for runs that hold no shape, from their lengths alone.
TrackCensus censusOfLengths(const std::vector<int> &runLengths);

} // namespace corvane
