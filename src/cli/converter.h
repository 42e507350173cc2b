// SPDX-License-Identifier: Apache-2.0
// The converter's work: the window's steps (import, Step 3 settings, Apply,
// Save Data) through the same core functions, driven by options.
#pragma once

#include <atomic>

#include "edit/trackops.h"
#include "export/exporter.h"
#include "formats/trackset.h"
#include "import/errorkind.h"
#include "table/cameras.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace corvane {

struct Format;
class TrackTable;
struct PlateSettings;

enum ExitCode { Done = 0, UsageError = 1, InputError = 2, OutputError = 3, SettingsMissing = 4 };

struct ConvertOptions
{
    const Format *target = nullptr;
    const Format *from = nullptr; // null: detected from each input's content
    QString output;               // empty: each input's name with the target's extension
    std::optional<std::pair<int, int>> plate;
    int preset = 0; // index of the predefined setting
    QString pixelAspect = QStringLiteral("1.0");
    std::optional<int> firstFrame;
    bool programConventions = true; // --conventions program (else file)
    bool append = false;
    bool strict = false;         // a reading that leaves something out fails the run
    bool force = false;          // replace write-protected files of other users
    Camera camera = Camera::All; // the cameras of a stereo shot to take
    // Run on each table in this order after its import, before Apply.
    std::vector<TrackOperation> operations;
    int jobs = 0; // inputs converted at once; 0: one per core
    // What a progress line follows, when given: the bytes of the input being
    // read, and how far Apply is, in thousandths.
    std::atomic<qint64> *bytesRead = nullptr;
    std::atomic<qint64> *applied = nullptr;
    QStringList corners; // a corner pin's four tracks (empty: a table of four)
    QStringList inputs;
};

// One input as it was found and read.
struct InputReport
{
    QString path;
    const Format *format = nullptr;
    QList<const Format *> candidates; // every format its content fits, when detected
    int rows = 0, tracks = 0;
    std::optional<std::pair<int, int>> frames; // first and last
    std::optional<std::pair<int, int>> plate;  // as the file states it
    QStringList notes;                         // detection's choice, what the reader left out
    LeftOut leftOut;                           // what the reading left out or changed
};

// One table converted and written: one input, or all of them with --append.
struct OutputReport
{
    QStringList inputs;
    QString path;
    QStringList written;         // every file written for it
    int rows = 0, tracks = 0;    // rows written and the tracks among them
    QList<TrackFile> trackFiles; // per-track saves: which track went to which file
    QList<RenamedTrack> renamed; // names the target could not hold
    QString exportFirst;         // the export first frame Apply used
    QStringList conventionNotes; // what the programs' conventions moved
    QStringList operations;      // what each track operation did, in order
    QStringList notes;           // what the target could not hold
};

struct Outcome
{
    ExitCode code = Done;
    QString message;   // what went wrong, for stderr
    QString errorFile; // the file the error is about, when it is about one
    int errorLine = 0; // and its line, when known
    // The kind the reader gave its error (else outcomeKind makes it out).
    std::optional<ErrorKind> errorKind;
    QStringList written;         // files written
    QList<TrackFile> trackFiles; // per-track saves: which track went to which file
    QStringList notes;           // what the targets could not hold
    QList<InputReport> inputs;   // what was read
    QList<OutputReport> outputs; // what was written
    QStringList recovered;       // what stopped saves had left in the folders, put back
    QByteArray standardOutput;   // the file written to "-" (standard output)
};

// What went wrong, in one word of the short list (the --json "kind", the module's .kind).
ErrorKind outcomeKind(const Outcome &outcome);

using Progress = std::function<void(const QString &step)>;

// The format of an input: --from, or the one format its content fits. The
// formats its content fits go to candidates when it is given.
const Format *inputFormat(const QString &path, const Format *from, Outcome &outcome,
                          QList<const Format *> *candidates = nullptr);

// Step 3 and Apply with the options (target, plate, preset, aspect, first
// frame, conventions) on top of what the imports set, as convert() does,
// the track operations run on the plate first; false with the failure in
// outcome. What each operation did goes to `operations`. Without
// keepSources the converted rows keep no imported and pixel values: for a
// table that is written and dropped.
bool applyConvertOptions(TrackTable &table, PlateSettings &settings, const ConvertOptions &options,
                         Outcome &outcome, QStringList &conventionNotes,
                         QStringList *operations = nullptr, bool keepSources = true);
// Reads, converts and writes. Writes nothing when anything fails.
Outcome convert(const ConvertOptions &options, const Progress &progress = {});

// The lines of --list-formats and --info.
QStringList formatList();
Outcome describe(const QString &path, const Format *from, InputReport &report, bool strict = false);
// The failure a strict reading makes of one that left something out, naming
// the switch that asked for it ("--strict", "strict=True").
QString strictMessage(const LeftOut &leftOut, const char *strictSwitch);
QStringList describeLines(const InputReport &report);

// "1920x1080" as a plate; "default", "bottom-left", … as a predefined setting index.
std::optional<std::pair<int, int>> parsePlate(const QString &text);
std::optional<int> parsePreset(const QString &text);
QStringList presetNames();

} // namespace corvane
