// SPDX-License-Identifier: Apache-2.0
// A conversion of one file that never holds its whole table. The reader
// hands its rows on in pieces from a thread of its own; each piece is put
// into a small table, converted by Apply and written while the next one is
// read, so memory stays flat at any size. Only a file of its format's plain
// layout streams, into a single-file target whose writer needs no more
// than the rows in order. Anything else (a note to make, a name to change,
// a value Apply refuses) declines before a file is put in place, and the
// conversion then runs on the whole table as ever: both give the same bytes.
#pragma once

#include "exporter.h"
#include "formats/kit/rowstream.h"
#include "settings/platesettings.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <utility>

namespace corvane {

struct Format;

struct StreamJob
{
    QString input;
    const Format *source = nullptr;
    const Format *target = nullptr;
    QString output;
    QStringList inputs; // files no output may replace
    bool replaceProtected = false;
    // Finishes the settings as the import leaves them (the caller's own
    // options on top); false when they cannot be streamed.
    std::function<bool(PlateSettings &settings)> settle;
    // The settings need the import's first frame before the first row is
    // converted (an export first frame given): the file is looked over first.
    bool needsImportFirst = false;
    std::atomic<qint64> *bytesRead = nullptr;
};

struct StreamOutcome
{
    // Read: converted, and written unless saved.error says why not.
    Streamed status = Streamed::Declined;
    ExportResult saved;
    PlateSettings settings; // as the conversion used them
    QStringList applyNotes; // what the programs' conventions moved
    int rows = 0;           // rows read
    int tracks = 0;         // track names among them
    std::pair<int, int> frames{0, 0};
};

// Whether a conversion from source into target may stream at all.
bool mayStream(const Format &source, const Format &target);
StreamOutcome streamConversion(const StreamJob &job);

} // namespace corvane
