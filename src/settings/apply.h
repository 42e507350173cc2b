// SPDX-License-Identifier: Apache-2.0
// "Apply All Setting Changes": every row from its imported values through
// pixels into the target's convention and window, frames shifted from the
// import's first frame to the export's.
#pragma once

#include "table/tracktable.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace corvane {

struct PlateSettings;
struct Format;

struct ApplyParams
{
    double pixelAspect = 1.0;
    int plateWidth = 0, plateHeight = 0;
    int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    int exportFirst = 0;            // E
    int importFirst = 0;            // I, the frame the table's frames count from
    QString targetFilter;           // the chosen export format's filter, as the window shows it
    const Format *target = nullptr; // and the format itself, found once
    int predefinedIndex = 0;
    // Pixel centres as each program counts them (PFTrack, SynthEyes); off,
    // every format counts from the raster's edge.
    bool programConventions = true;
    QString frameBaseNote; // what the programs' frame bases moved, for the notes
    // For an Apply run on another thread: how far it is, in thousandths.
    std::atomic<qint64> *progress = nullptr;
    // Off for a table that is written and dropped (the converter's): the
    // rows then keep no imported and pixel values beside the converted ones.
    bool keepSources = true;
};

struct ApplyResult
{
    QString error;                 // nothing was changed
    int valueRow = -1;             // the error is about this row's values, not the settings
    bool shapeNameProblem = false; // converted, but a shape name lacks its "_"
    bool sorted = false;           // shape rows were put together first
    std::vector<int> order;        // when sorted: new row i is old row order[i]
    QStringList notes;             // what the programs' conventions moved, for the user
};

extern const char *const shapeNameMessage;
extern const char *const plateMissingMessage;

// The Apply values of the Step 3 settings, for a target format filter.
ApplyParams applyParams(const PlateSettings &settings, const QString &targetFilter);
ApplyParams applyParams(const PlateSettings &settings, const Format &target);

ApplyResult applySettings(TrackTable &table, const ApplyParams &params);

// Apply worked out beside the table, which stays as it is (for a table
// another thread shows): the rows' new values go to `converted`, for
// TrackTable::exchangeConverted; a refusal goes to result, as from
// applySettings. False when only applySettings can apply to this table (a
// shape order to make, shown values to take first, formulas or rare
// attributes), or when cancel was set.
bool applyBeside(const TrackTable &table, const ApplyParams &params, ApplyResult &result,
                 TrackTable::ConvertedRows &converted, const std::atomic<bool> *cancel = nullptr);

// Apply into a table whose every row showsImported (the first Apply after
// an import), for a table another thread shows: prepared beside the table,
// which stays as it is, then put in by convert, a slice of rows at a time,
// on the thread that shows it. Undone, the rows show their imported values
// again (TrackTable::restoreImported with frameShift); redone, convert
// makes the same values again. So no copy of the rows is kept.
struct ImportedConversion
{
    std::function<void(TrackTable &table, int begin, int end)> convert;
    qint64 frameShift = 0;
    ShownToSource inverse; // the table's after the Apply
};

// False when the table is not all as imported (or has formulas, or shape
// rows to order), or when cancel was set; a refusal goes to result, as from
// applySettings.
bool prepareImportedApply(const TrackTable &table, const ApplyParams &params, ApplyResult &result,
                          ImportedConversion &conversion,
                          const std::atomic<bool> *cancel = nullptr);

} // namespace corvane
