// SPDX-License-Identifier: Apache-2.0
// The track census of an export: tracks as runs of equal names, rows per
// track, and vertex tracks per shape.
#pragma once

#include "formats/writecontext.h"

#include <QList>

namespace corvane {

class TrackTable;

TrackCensus takeCensus(const TrackTable &table, const QList<int> &rows);
// The same from the runs themselves: each run's name and rows.
TrackCensus censusOfRuns(const QStringList &runNames, const QList<int> &runLengths);

} // namespace corvane
