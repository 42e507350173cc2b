// SPDX-License-Identifier: Apache-2.0
// The import of one file as Step 1 and the converter run it: read (nothing
// changes when that fails), reset the Step 3 values for a new list and take
// over the file's first frame and plate, then fill the table.
#pragma once

#include <atomic>

#include "dispatch.h"
#include "table/cameras.h"

namespace corvane {

struct Format;
struct PlateSettings;

enum class ImportMode { NewList, Append };

// What a successful read does to the Step 3 values.
// The format filter is the file's: its frame base counts under program conventions.
void takeOverImport(PlateSettings &settings, const TrackSet &set, ImportMode mode,
                    const QString &formatFilter = QString());

// Makes room for the rows (a new list replaces the table) and fills them.
FillRange fillImport(TrackTable &table, const TrackSet &set, ImportMode mode,
                     const QString &formatFilter, const FillProgress &progress = {});

struct ImportResult
{
    QString error; // nothing was changed
    int line = 0;  // the line of the file the error is about, when it is about one
    ErrorKind kind = ErrorKind::UnsupportedLayout; // what the error is
    FillRange range;
    QStringList notes; // what the reader left out, for the user
    LeftOut leftOut;   // those notes that say something was left out or changed
    bool ok() const { return error.isEmpty(); }
};

// Keeps the tracks of one camera of a stereo shot (all of them for
// Camera::All); the secondary camera's lose the camera in their names. An
// error, naming the file, when no track of that camera is left.
QString keepCamera(ReadResult &read, Camera camera, const QString &path);

// Recognition and the three steps in one, for callers without dialogs; a
// file that is cut short is refused. A stop request ends it with an error,
// the table then part filled.
// bytesRead, when given, follows how much of the file has been read.
ImportResult importFile(TrackTable &table, PlateSettings &settings, const QString &path,
                        const Format &format, ImportMode mode, Camera camera = Camera::All,
                        std::atomic<qint64> *bytesRead = nullptr);

} // namespace corvane
