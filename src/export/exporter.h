// SPDX-License-Identifier: Apache-2.0
// "SAVE DATA!": validation of the table and the driver that runs the target
// format's header, row and footer steps over the export row list.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

namespace corvane {

class TrackTable;
struct PlateSettings;
struct Format;

extern const char *const emptyCellMessage;
extern const char *const nothingToExportMessage;
extern const char *const noShapesMessage;
extern const char *const saveCancelledMessage;

struct Validation
{
    QString error;         // nothing may be written
    QList<int> markedRows; // rows marked for export, in table order
    bool ok() const { return error.isEmpty(); }
};

// Refuses an empty cell, a frame that is not an integer or a coordinate that
// is not a number; otherwise lists the marked rows.
Validation validateForExport(const TrackTable &table);

struct ExportParams
{
    QString targetFilter;           // the chosen export format filter, as the window shows it
    const Format *format = nullptr; // the format itself; found from the filter when null
    QString targetPath;
    QString windowWidth;  // text of X1
    QString windowHeight; // text of Y1
    QString pixelAspect;  // text of par
    // Corner pin targets: the tracks of the upper-left, upper-right,
    // lower-left and lower-right corners, in that order (empty: a save of
    // exactly four tracks takes them in their order).
    QStringList corners;
    QList<int> rows;       // the export row list; empty means every row
    QStringList inputs;    // the files the table was read from: never written
    bool inMemory = false; // make the files' bytes, but write nothing
    // Bytes of a file held before they go on to disk (in pieces, between rows).
    qsizetype heldBytes = 2 << 20;
    // For a save run on another thread: set to stop it (nothing is then
    // written), and how far it is, in thousandths.
    const std::atomic<bool> *cancel = nullptr;
    std::atomic<qint64> *progress = nullptr;
    // Replace write-protected files of other users (the user was asked).
    bool replaceProtected = false;
};

struct TrackFile
{
    QString track;
    QString path;
    bool numbered = false;  // its name shared a file name with another track's
    bool shortened = false; // its name was too long for a file name, and was cut
};

// A track whose name the target format cannot hold as it is.
struct RenamedTrack
{
    QString from, to;
};

struct ExportResult
{
    QString error;               // shown to the user; nothing was written
    QStringList written;         // every file written, in order
    QList<TrackFile> trackFiles; // per-track saves: which track went to which file
    QList<std::pair<QString, QByteArray>> contents; // with inMemory: every file's bytes
    QStringList notes;                              // for the user: rows the format could not hold
    QList<RenamedTrack> renamed;                    // names the format could not hold, as written
    int rows = 0;                                   // rows written (a shape format leaves some out)
    int tracks = 0;                                 // runs of one track name among them
    QString writeProtected; // the error is this write-protected file of another user
    QStringList recovered;  // what killed or stopped saves left in the folder, put back
    bool ok() const { return error.isEmpty(); }
};

// The per-track files' common start: the target's folder and its file name
// up to the first full stop.
QString pathStem(const QString &targetPath);
// A track name made safe as part of a file name.
QString safeFileNamePart(const QString &name);

// The save values of the Step 3 settings (target window and pixel aspect).
ExportParams exportParams(const PlateSettings &settings, const QString &targetFilter,
                          const QString &targetPath);
ExportParams exportParams(const PlateSettings &settings, const Format &target,
                          const QString &targetPath);

// The tracks a save of rows (every row when empty) writes, in their order,
// named as the format writes them.
QStringList savedTrackNames(const TrackTable &table, const QList<int> &rows, const Format &format);
// Why a corner pin target cannot take these rows' tracks as its corners:
// the four names are not tracks of the rows, or (with no names) the rows
// are not of exactly four tracks. Empty for other targets, and when it can.
QString cornerPinError(const TrackTable &table, const QList<int> &rows, const Format &format,
                       const QStringList &corners);

ExportResult exportTable(const TrackTable &table, const ExportParams &params);

// "track "Track 01" is written as "Track_01": Boujou cannot hold its name as it is."
QString renamedNote(const RenamedTrack &track, const QString &targetFilter);

} // namespace corvane
