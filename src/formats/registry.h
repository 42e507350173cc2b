// The format registry: the one place that knows each of the twenty formats:
// its filter strings, how a file of it is recognised, its reader, its writer
// steps and its coordinate convention. Dialogs, recognition, dispatch, Apply,
// the export driver and the converter all look formats up here.
#pragma once

#include "trackset.h"
#include "writecontext.h"

#include <QString>
#include <QStringList>

#include <vector>

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

// The first-line test applied before a file is read.
struct Recognition
{
    enum Kind { Always, Marker, NoDoubleSlash, DoubleSlash };
    Kind kind = Always;
    const char *marker = nullptr;  // with Marker: text the first line must contain
    const char *message = nullptr; // shown when the test fails
};

using ReadFunction = TrackSet (*)(const QString &path);
// Whether a file's bytes have this format's layout (the reader's evidence).
using SniffFunction = bool (*)(const QByteArray &data);

struct Format
{
    const char *id;               // stable short name for the command line
    const char *name;             // the program and format, for people
    const char *importFilter;     // import dialogs and the File menu's lists
    const char *treeExportFilter; // the Step 2 tree's save dialog
    Recognition recognition;
    ReadFunction read;         // null while the reader is not built
    SniffFunction sniff;       // null while the reader is not built
    const WriterSteps *writer; // null while the writer is not built
    SourceRule source;
    TargetRule target;
    const char *trackFileExtension; // per-track formats: each track's own file
    bool shapes;                    // roto/mask shapes rather than point tracks
    bool statesPlate;               // the reader reports the plate size

    // The file extensions its filters name, without the dot ("*" for any).
    QStringList extensions() const;
    bool matchesFilter(const QString &filter) const;
};

// A program's entry of the Step 1 and Step 2 trees.
struct Program
{
    const char *importTreeText;
    const char *exportTreeText;
    const char *importCaption;
    const char *exportCaption;
    const char *icon;
    bool cameraTracker;       // the "3D Software Files" group
    std::vector<int> formats; // indices into formats(), in its dialogs' order
};

// Every format, in the order of the File menu's lists.
const std::vector<Format> &formats();
const std::vector<Program> &programs();

const Format *formatById(const QString &id);
// The format a filter string names (any of its import or export filters).
const Format *formatForFilter(const QString &filter);
// The format whose import filter is exactly this text (the reader's key).
const Format *formatForImportFilter(const QString &filter);
const Program *programForTreeText(const QString &text);
// A format id ("nuke-tracker") or one of its exact filter texts.
const Format *formatByIdOrFilter(const QString &text);
const Program *programOf(const Format &format);
// Targets of the compositors, which hold shapes: Apply checks shape names.
bool isCompositorFilter(const QString &filter);

// The File menu's list: every import filter, joined by ";;".
QString allFiltersText();
// A program's dialog filter list, joined by ";;".
QString importFiltersText(const Program &program);
QString exportFiltersText(const Program &program);

} // namespace corvane
