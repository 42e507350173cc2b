// SPDX-License-Identifier: Apache-2.0
// Track operations: the everyday changes an artist makes to tracks between
// two programs (rename, slip, trim, shift, reformat, flip, crop and pad,
// filter, fill gaps, lens distortion). Each is a pure function over the
// table's tracks with its own parameters, and each takes time in proportion
// to the rows.
//
// A track is every row of one name; a shape's vertices are tracks of their
// own, so every operation works on points and shapes alike.
//
// The operations change the values Apply converts from (the rows' source
// values), so that the conversion that follows takes them into every
// target's convention. Geometry works in the plate's pixel space: pixels
// from its top-left corner, X to the right and Y down, whatever convention
// the rows' numbers are in (a ValueSpace takes them there and back). A
// coordinate is written only when the operation changes it: a flip leaves
// every Y as it was, to the bit; a slip touches no coordinate at all. A
// converted row whose coordinates change goes back to showing its source
// values (as an import shows them) until the next Apply.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace corvane {

class TrackTable;

struct PlateSize
{
    int width = 0, height = 0;
    bool known() const { return width > 0 && height > 0; }
};

// Where a row's numbers lie on the plate: pixels from its top-left corner,
// Y down. Made by the caller, who knows the rows' conventions (the settings
// do; the edits do not). Each axis maps on its own: the X of fromPixels
// depends on x alone, its Y on y alone. Rows are placed from several
// threads at once.
class ValueSpace
{
public:
    virtual ~ValueSpace();
    virtual void toPixels(int row, double &x, double &y, PlateSize plate) const = 0;
    virtual void fromPixels(int row, double &x, double &y, PlateSize plate) const = 0;
    // Whether the row's pixels depend on the plate (a Y-up or normalised
    // convention); an operation that does not change the plate may then run
    // without one.
    virtual bool dependsOnPlate(int row) const = 0;
};

enum class TrackOperationKind {
    Rename,     // text: regular expression, replacement
    RenameMap,  // mapping: old name, new name
    Prefix,     // text
    Suffix,     // text
    Slip,       // frames
    StartAt,    // frames: the first frame
    Trim,       // frames..lastFrame
    DropBefore, // frames
    Shift,      // x, y: pixels
    Scale,      // x, y: factors
    Reformat,   // width, height
    Flip,       // left-right
    Flop,       // top-bottom
    Crop,       // left, right, top, bottom: pixels removed (negative adds)
    Pad,        // left, right, top, bottom: fractions of the plate added
    MinKeys,    // count
    FillGaps,   // count: the longest gap filled, in frames (0: every gap)
    LensDistort,
    LensUndistort, // k, kCube
};

struct TrackOperation
{
    TrackOperationKind kind = TrackOperationKind::Slip;
    QString text, replacement;                        // rename, prefix, suffix
    std::vector<std::pair<QString, QString>> mapping; // rename by a list
    int frames = 0, lastFrame = 0;                    // slip, start at, trim, drop
    int count = 0;                                    // minimum keys, longest gap
    double x = 0, y = 0;                              // shift, scale
    int width = 0, height = 0;                        // reformat
    double left = 0, right = 0, top = 0, bottom = 0;  // crop, pad
    double k = 0, kCube = 0;                          // lens
};

// The converter's option names of the operations, in --help's order:
// "rename", "rename-file", "prefix", … "lens-undistort".
const std::vector<const char *> &trackOperationOptions();

// An operation from its option's name and text ("slip", "1000"; "trim",
// "1001..1100"; "rename", "^pt=sh010_pt"). The text of "rename-file" is the
// mapping file's contents (old and new name per line), `source` names it
// in errors. The error names the option and its rule.
struct ParsedOperation
{
    std::optional<TrackOperation> operation;
    QString error;
};
ParsedOperation parseTrackOperation(const QString &option, const QString &text,
                                    const QString &source = QString());
// A rename by a regular expression and its replacement, the pattern checked.
ParsedOperation renameOperation(const QString &pattern, const QString &replacement);
// The mapping of a rename list: "old<TAB>new", "old new" or "old,new" per
// line; blank lines and lines starting with '#' are skipped.
ParsedOperation parseRenameList(const QString &contents, const QString &source);

// The option and its text that make the operation again ("--slip 1000").
QString trackOperationText(const TrackOperation &op);

struct TrackOperationResult
{
    QString error;   // nothing was changed
    QString summary; // one line: what it did ("slip +1000 frames: 12 tracks, 2400 keys")
    int tracksChanged = 0;
    int keysChanged = 0; // keys whose frame or coordinates changed
    int keysAdded = 0;
    int keysRemoved = 0;
    int tracksRemoved = 0;
    int tracksRenamed = 0;
    bool plateChanged = false;
    bool plateMissing = false; // the error is that the operation needs a plate
    bool ok() const { return error.isEmpty(); }
};

// Runs the operation on the table: on every track, or only on the tracks
// that have a row in `onlyRows` (a selected row selects its track). The
// plate is updated when the operation changes it. `space` places the
// rows' numbers on the plate; null: they are pixels from the top-left.
// A refusal (a name collision, a frame out of range, a cell that is no
// number) changes nothing.
TrackOperationResult runTrackOperation(TrackTable &table, PlateSize &plate,
                                       const TrackOperation &op,
                                       const std::vector<int> *onlyRows = nullptr,
                                       const ValueSpace *space = nullptr);

// What the operation would do, counted without changing the table: the
// same result (error, summary, counts, plate) as running it. It makes no
// copy of the table.
TrackOperationResult countTrackOperation(const TrackTable &table, PlateSize plate,
                                         const TrackOperation &op,
                                         const std::vector<int> *onlyRows = nullptr,
                                         const ValueSpace *space = nullptr);

// The most keys one fill of gaps may add (a gap of a billion frames is
// refused, not allocated).
constexpr int MaxFilledKeys = 20000000;

// The note a key made by filling a gap carries (TrackTable::rowNote, the
// status tip of its name cell).
QString filledNote();

// The SynthEyes radial model on one point of a plate (pixels from the
// top-left): coordinates from -1 to +1 through the edge pixels' centres,
// X scaled by the plate's aspect; false when removal has no solution.
bool lensDistortPoint(double &x, double &y, PlateSize plate, double k, double kCube, bool remove);

} // namespace corvane
