// SPDX-License-Identifier: Apache-2.0
// One format's description: everything the dialogs, recognition, dispatch,
// detection, Apply and the export driver need to know of it. Each format
// family describes its formats next to its reader and writer; the registry
// only collects the descriptions.
#pragma once

#include "formats/kit/linesource.h"
#include "formats/kit/rowstream.h"
#include "trackset.h"
#include "writecontext.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvane {

// How a source's coordinates come to pixels from the top-left corner.
enum class SourceRule {
    None,
    Flip,
    SynthEyes,
    Maya,
    FusionTrack,
    FusionMask,
    CombustionGMask,
    AfterEffectsMask
};
// How pixels from the top-left go to a target's coordinates.
enum class TargetRule { None, Flip, SynthEyes, Maya, FusionTrack, FusionMask, AfterEffectsMask };

// Where a format's coordinates count from, in its program's own terms.
enum class PixelCentres {
    Edge,             // 0 is the raster's edge (3DE, Nuke, Shake, Flame…)
    FirstPixelCentre, // 0 is the centre of the first pixel (PFTrack)
    EdgePixelCentres  // normalised -1 and +1 are the edge pixels' centres (SynthEyes)
};

// How a format's frames are numbered. Only fixed bases move on conversion.
enum class FrameBase {
    AsWritten, // the program's own frame numbers, as the file holds them
    FromZero,  // 0 is the sequence's first frame
    FromOne    // 1 is the sequence's first frame
};

// The first-line test applied before a file is read.
struct Recognition
{
    enum Kind { Always, Marker, NoDoubleSlash, DoubleSlash };
    Kind kind = Always;
    const char *marker = nullptr;  // with Marker: text the first line must contain
    const char *message = nullptr; // shown when the test fails
};

// A reader turns a file's bytes into rows, or says why it cannot. The file
// name is for formats that take something from it (a Nuke Tracker file's
// track is named after it).
using ReadFunction = ReadResult (*)(const QByteArray &data, const QString &fileName);
// Whether a file's bytes have this format's layout (the reader's evidence).
using SniffFunction = bool (*)(const QByteArray &data);

struct Format
{
    const char *id = "";               // stable short name for the command line
    const char *name = "";             // the program and format, for people
    const char *importFilter = "";     // import dialogs and the File menu's lists
    const char *treeExportFilter = ""; // the Step 2 tree's save dialog
    Recognition recognition;
    ReadFunction read = nullptr; // null while the reader is not built
    // A reader that takes the file line by line, where the format's reader
    // needs no more (a large file is then never held whole); read is the
    // same reader over bytes in memory.
    LineReadFunction readLines = nullptr;
    // Reads a file of the format's plain layout in pieces, for a conversion
    // that never holds the whole table; declines what read alone may read.
    StreamFunction stream = nullptr;
    SniffFunction sniff = nullptr;       // null while the reader is not built
    const WriterSteps *writer = nullptr; // null while the writer is not built
    SourceRule source = SourceRule::None;
    TargetRule target = TargetRule::None;
    const char *trackFileExtension = nullptr; // per-track formats: each track's own file
    bool shapes = false;                      // roto/mask shapes rather than point tracks
    bool statesPlate = false;                 // the reader reports the plate size
    bool writesNames = true;                  // false: tracks are numbered in the file, not named
    bool cameras = false; // holds a stereo shot's cameras (the secondary's tracks by their names)
    qsizetype maxLineLength = 1 << 20; // longer lines: not a file of this format
    // The program's conventions, applied when Apply follows program conventions.
    PixelCentres centres = PixelCentres::Edge;
    FrameBase frameBase = FrameBase::AsWritten;
    // Among formats that read a file to the same rows: whether the file
    // shows this program's habits (weaker evidence than the sniff).
    SniffFunction habits = nullptr;
    // Characters a written track name cannot hold (they become "_"), besides
    // line ends and other control characters, which no format holds.
    const char *nameForbids = "";
    bool nameNoBlanks = false; // blanks and tabs end the name field
    // Writes four tracks as a corner pin's corners (ExportParams::corners).
    bool cornerPin = false;

    bool perTrack() const { return trackFileExtension != nullptr; }
    // The file extensions its filters name, without the dot ("*" for any).
    QStringList extensions() const;
    // The extension a written file takes: the first one its filters name.
    QString fileExtension() const;
    bool matchesFilter(const QString &filter) const;
    // A track name as this format can hold it: every character it cannot
    // hold becomes "_" (line ends and control characters everywhere, white
    // space at either end, which readers trim, and the format's own).
    QString writableName(const QString &name) const;
    // Whether writableName leaves the name as it is (made without a copy).
    bool holdsName(const QString &name) const;
};

} // namespace corvane
