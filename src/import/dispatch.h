// SPDX-License-Identifier: Apache-2.0
// Import dispatch and table fill: the reader of the chosen format, then its
// rows into the table with the imported attributes.
#pragma once

#include "formats/trackset.h"

#include <atomic>
#include <functional>

namespace corvane {

class TrackTable;

// Reads a file with the reader whose import filter is exactly formatFilter.
// The error names the file (and the line where the reader gave one): a
// filter without a reader, a file that cannot be opened, bytes that are not
// text (NUL bytes), the reader's own complaint, or no row at all.
// A file whose own counts promise more than it holds reads with cutShort
// set (naming the file) and the rows it holds.
// bytesRead, when given, follows the file's reading (from another thread).
// A stop request ends the reading with stoppedMessage.
ReadResult dispatch(const QString &path, const QString &formatFilter,
                    std::atomic<qint64> *bytesRead = nullptr);
struct Format;
// The same with the format itself.
ReadResult dispatch(const QString &path, const Format &format,
                    std::atomic<qint64> *bytesRead = nullptr);

struct Format;
// The same checks on a file's text already in memory (decoded).
ReadResult readBytes(const QByteArray &data, const QString &path, const Format &format);
// The checks on a reader's result: its error named after the file, its
// counts trusted no further than its rows, an empty reading refused.
ReadResult checkedRead(ReadResult result, const QString &path, const Format &format);

struct FillRange
{
    int first = 0; // first row of the import
    int end = 0;   // one past its last row
};

// Makes room for an import: a new list clears the table, an added one
// appends rows. Sets the four columns.
FillRange prepareFill(TrackTable &table, int count, bool append);

// Called every few thousand rows with the rows written so far; returning
// false stops the fill (the rows written stay, the rest stay empty).
using FillProgress = std::function<bool(int written)>;

// Writes the set's rows into range; returns the number of rows written,
// fewer when a stop was requested.
int fillRows(TrackTable &table, const TrackSet &set, FillRange range, const QString &formatFilter,
             const FillProgress &progress = {});

} // namespace corvane
