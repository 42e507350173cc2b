// SPDX-License-Identifier: Apache-2.0
// An import that fills the table from a format's streamed reader, a piece
// as it comes, so that a large file's rows are never held twice (once as
// read, once in the table).
#pragma once

#include "importer.h"

namespace corvane {

// Reads the file into an empty table through the format's streamed reader
// (on a thread of its own, the table filled here) and takes over its first
// frame and plate as the whole reading would. False, with the table as it
// was, when the stream declines (the whole reading then reads the file and
// says what it says) or the table is not empty.
bool importStreamed(TrackTable &table, PlateSettings &settings, const QString &path,
                    const Format &format, ImportMode mode, std::atomic<qint64> *bytesRead,
                    ImportResult &result);

} // namespace corvane
