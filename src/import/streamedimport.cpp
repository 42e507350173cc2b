// SPDX-License-Identifier: Apache-2.0
#include "streamedimport.h"

#include "filetext.h"
#include "formats/format.h"
#include "formats/kit/piecequeue.h"
#include "formats/kit/stoprequest.h"
#include "importer.h"
#include "table/tracktable.h"

#include <QFile>

#include <algorithm>
#include <limits>
#include <new>
#include <thread>

namespace corvane {

namespace {

// A bound on the rows a line-based reader finds, so that the table is
// made large enough once: grown a piece at a time, its array would be
// copied, and held twice for the while, at every growth.
qint64 linesIn(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    QByteArray block(1 << 22, Qt::Uninitialized);
    qint64 lines = 1, got = 0;
    while ((got = file.read(block.data(), block.size())) > 0)
        lines += std::count(block.constData(), block.constData() + got, '\n');
    return lines;
}

// What the pieces told of the file, for the settings a whole reading takes over.
struct Filled
{
    long long rows = 0;
    int lowest = 0;
    TrackSet plate; // the first piece's plate, without rows
    bool stopped = false;
};

// Room for `rows` rows: the bound on the first call, then half again
// whenever it runs out (a format may hold more than a row on a line).
void makeRoom(TrackTable &table, qint64 &room, qint64 rows)
{
    if (rows <= room) return;
    qint64 wanted = room == 0 ? std::max<qint64>(rows, 0) : std::max(rows, room + room / 2);
    wanted = std::min<qint64>(wanted, std::numeric_limits<int>::max());
    try {
        table.reserveRows(int(wanted), false);
        room = wanted;
    } catch (const std::bad_alloc &) {
        // A bound the system will not lend: the rows themselves are asked for.
        room = rows;
    }
}

Filled fillFromPieces(TrackTable &table, PieceQueue &queue, const QString &filter, qint64 room)
{
    Filled filled;
    TrackSet piece;
    while (queue.next(piece)) {
        if (stopRequested() || filled.rows + piece.count > std::numeric_limits<int>::max()) {
            filled.stopped = stopRequested();
            filled.rows = 0; // too many rows for a table: the whole reading says so
            break;
        }
        if (piece.count == 0) continue;
        const int low = *std::min_element(piece.frames.begin(), piece.frames.begin() + piece.count);
        if (filled.rows == 0) {
            filled.lowest = low;
            filled.plate.plateWidth = piece.plateWidth;
            filled.plate.plateHeight = piece.plateHeight;
        }
        filled.lowest = std::min(filled.lowest, low);
        makeRoom(table, room, filled.rows + piece.count);
        fillRows(table, piece, prepareFill(table, piece.count, true), filter);
        filled.rows += piece.count;
    }
    queue.close(); // a reader still going stops at its next piece
    return filled;
}

} // namespace

Streamed readInPieces(const QString &path, const Format &format, RowStream &out,
                      std::atomic<qint64> *bytesRead)
{
    FileLines lines(path, format.maxLineLength, bytesRead);
    const Streamed outcome = format.stream(lines, path, out);
    return outcome == Streamed::Read && !lines.error().isEmpty() ? Streamed::Declined : outcome;
}

TrackSet streamedStart(const Format &format, int firstFrame, const TrackSet &plate)
{
    TrackSet start;
    start.firstFrame = QString::number(firstFrame);
    if (format.statesPlate) {
        start.plateWidth = plate.plateWidth;
        start.plateHeight = plate.plateHeight;
    }
    return start;
}

StreamedFill streamIntoTable(TrackTable &table, const QString &path, const Format &format,
                             std::atomic<qint64> *bytesRead)
{
    StreamedFill done;
    if (!format.stream || table.rowCount() > 0) return done;
    TrackTable before = table.clone(); // no rows: cheap
    const QString filter = QLatin1String(format.importFilter);
    table.setColumnCount(TrackColumnCount);
    qint64 room = 0;
    makeRoom(table, room, linesIn(path));
    PieceQueue queue;
    std::thread reader([&] { queue.finish(readInPieces(path, format, queue, bytesRead)); });
    const Filled filled = fillFromPieces(table, queue, filter, room);
    reader.join();
    if (filled.stopped || stopRequested()) {
        // The table part filled, as a stopped whole import leaves it.
        done.outcome = Streamed::Stopped;
        return done;
    }
    if (queue.outcome() != Streamed::Read || filled.rows == 0) {
        table = std::move(before);
        return done;
    }
    done.outcome = Streamed::Read;
    done.summary = streamedStart(format, filled.lowest, filled.plate);
    done.summary.count = int(filled.rows);
    return done;
}

bool importStreamed(TrackTable &table, PlateSettings &settings, const QString &path,
                    const Format &format, ImportMode mode, std::atomic<qint64> *bytesRead,
                    ImportResult &result)
{
    const StreamedFill filled = streamIntoTable(table, path, format, bytesRead);
    if (filled.outcome == Streamed::Declined) return false;
    if (filled.outcome == Streamed::Stopped) {
        const ReadResult stopped = ReadResult::failure(QString::fromLatin1(stoppedMessage));
        result.error = stopped.error;
        result.kind = stopped.kind;
        return true;
    }
    takeOverImport(settings, filled.summary, mode, QLatin1String(format.importFilter));
    result.range = {0, filled.summary.count};
    return true;
}

} // namespace corvane
