// SPDX-License-Identifier: Apache-2.0
// An import that fills the table from a format's streamed reader, a piece
// as it comes, so that a large file's rows are never held twice (once as
// read, once in the table).
#pragma once

#include "formats/kit/rowstream.h"
#include "importer.h"

namespace corvane {

// One reading of the whole file by the format's streamed reader; a file
// the line source refuses (NUL bytes, over-long lines) is declined.
Streamed readInPieces(const QString &path, const Format &format, RowStream &out,
                      std::atomic<qint64> *bytesRead = nullptr);

// What a whole reading takes over of a file whose smallest frame is
// `firstFrame` and whose pieces gave `plate` (kept only where the format
// states one): the first frame and plate, without rows.
TrackSet streamedStart(const Format &format, int firstFrame, const TrackSet &plate);

// A fill from a streamed reader: Read with the table filled, Stopped on a
// stop request (the table part filled), Declined with the table as it was.
struct StreamedFill
{
    Streamed outcome = Streamed::Declined;
    TrackSet summary; // no rows: their count, the first frame and the plate a whole reading gives
};

// Fills an empty table through the format's streamed reader (read on a
// thread of its own, the table filled on the calling one). A table that is
// not empty, or a format that does not stream, is declined.
StreamedFill streamIntoTable(TrackTable &table, const QString &path, const Format &format,
                             std::atomic<qint64> *bytesRead = nullptr);

// streamIntoTable, then the file's first frame and plate taken over as
// importFile takes them. False, with the table as it
// was, when the stream declines (the whole reading then reads the file and
// says what it says) or the table is not empty.
bool importStreamed(TrackTable &table, PlateSettings &settings, const QString &path,
                    const Format &format, ImportMode mode, std::atomic<qint64> *bytesRead,
                    ImportResult &result);

} // namespace corvane
