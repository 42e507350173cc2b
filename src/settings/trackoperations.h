// SPDX-License-Identifier: Apache-2.0
// The track operations on a conversion's road: the rows' numbers placed on
// the plate by their formats' conventions, and the plate taken from and
// given back to the Step 3 values. The converter and the module run the
// operations through here, in their order, before Apply.
#pragma once

#include "edit/trackops.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace corvane {

class TrackTable;
struct PlateSettings;

// The rows' numbers as their source formats hold them: each row through
// its format's coordinate rule (and, with program conventions, its pixel
// centres) to pixels from the plate's top-left corner, and back.
std::unique_ptr<ValueSpace> sourceSpace(const TrackTable &table, bool programConventions);

struct TrackOperationsOutcome
{
    QString error;   // why an operation failed; the table may be changed
    int failed = -1; // the operation that failed
    bool plateMissing = false;
    QStringList summaries; // one line per operation, in order
    bool ok() const { return error.isEmpty(); }
};

// Runs the operations in order on every track, on the plate of the
// settings; a change of the plate goes into the settings' plate fields.
TrackOperationsOutcome runTrackOperations(TrackTable &table, PlateSettings &settings,
                                          const std::vector<TrackOperation> &operations);

} // namespace corvane
