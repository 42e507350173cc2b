// SPDX-License-Identifier: Apache-2.0
// Operations on frames: slipping keys, starting at a frame, trimming to a
// range, dropping short tracks and filling gaps.
#include "trackopsrun.h"

#include "table/framelimit.h"

#include <algorithm>
#include <limits>

namespace corvane {

void runTime(OperationRun &run)
{
    const TrackOperation &op = run.op;
    const int rows = run.rowCount();
    std::vector<char> moved(size_t(rows), 0);
    long long delta = op.frames;
    if (op.kind == TrackOperationKind::StartAt) {
        int earliest = std::numeric_limits<int>::max();
        for (int r = 0; r < rows; ++r) {
            if (!run.selected(r)) continue;
            int frame = 0;
            if (!run.frameOf(r, frame)) return;
            earliest = std::min(earliest, frame);
        }
        delta = earliest == std::numeric_limits<int>::max() ? 0 : (long long)op.frames - earliest;
    }
    int keys = 0;
    for (int r = 0; r < rows; ++r) {
        if (!run.selected(r)) continue;
        int frame = 0;
        if (!run.frameOf(r, frame)) return;
        const long long to = frame + delta;
        if (to < -FrameLimit || to > FrameLimit) {
            run.rowError(r, QStringLiteral("frame %1 moved by %2 gives %3, outside the frames "
                                           "Corvane handles")
                                .arg(frame)
                                .arg(delta)
                                .arg(to));
            return;
        }
        if (delta == 0) continue;
        moved[size_t(r)] = 1;
        ++keys;
    }
    for (int r = 0; run.writing() && r < rows; ++r)
        if (moved[size_t(r)]) run.table->setFrame(r, int(run.view.frame(r) + delta));
    TrackOperationResult &result = run.result;
    result.keysChanged = keys;
    result.tracksChanged = run.tracksOf(moved);
    const QString by =
        QStringLiteral("%1%2 %3")
            .arg(delta >= 0 ? QStringLiteral("+") : QString())
            .arg(delta)
            .arg(delta == 1 || delta == -1 ? QStringLiteral("frame") : QStringLiteral("frames"));
    result.summary =
        op.kind == TrackOperationKind::Slip
            ? QStringLiteral("slip %1: %2").arg(by, keysOfTracks(keys, result.tracksChanged))
            : QStringLiteral("start at %1 (%2): %3")
                  .arg(op.frames)
                  .arg(by, keysOfTracks(keys, result.tracksChanged));
}

void runRemoval(OperationRun &run)
{
    const TrackOperation &op = run.op;
    const int rows = run.rowCount();
    std::vector<int> removed;
    std::vector<int> keysOf(run.trackNames.size(), 0), keptOf(run.trackNames.size(), 0);
    for (int r = 0; r < rows; ++r)
        ++keysOf[size_t(run.trackOf[size_t(r)])];
    for (int r = 0; r < rows; ++r) {
        const size_t t = size_t(run.trackOf[size_t(r)]);
        bool drop = false;
        if (run.selected(r)) {
            if (op.kind == TrackOperationKind::MinKeys) {
                drop = keysOf[t] < op.count;
            } else {
                int frame = 0;
                if (!run.frameOf(r, frame)) return;
                drop = frame < op.frames ||
                       (op.kind == TrackOperationKind::Trim && frame > op.lastFrame);
            }
        }
        if (drop)
            removed.push_back(r);
        else
            ++keptOf[t];
    }
    TrackOperationResult &result = run.result;
    std::vector<char> touched(size_t(rows), 0);
    for (int r : removed)
        touched[size_t(r)] = 1;
    result.tracksChanged = run.tracksOf(touched);
    for (size_t t = 0; t < keysOf.size(); ++t)
        if (keysOf[t] > 0 && keptOf[t] == 0) ++result.tracksRemoved;
    result.keysRemoved = int(removed.size());
    if (run.writing() && !removed.empty()) run.table->takeRows(removed);
    const QString what =
        op.kind == TrackOperationKind::Trim
            ? QStringLiteral("trim %1..%2").arg(op.frames).arg(op.lastFrame)
        : op.kind == TrackOperationKind::DropBefore
            ? QStringLiteral("drop frames before %1").arg(op.frames)
            : QStringLiteral("keep tracks of at least %1").arg(plural(op.count, "key", "keys"));
    result.summary = QStringLiteral("%1: %2 removed, %3 left empty and removed")
                         .arg(what, keysOfTracks(result.keysRemoved, result.tracksChanged),
                              plural(result.tracksRemoved, "track", "tracks"));
    if (op.kind == TrackOperationKind::MinKeys)
        result.summary = QStringLiteral("%1: %2 removed (%3)")
                             .arg(what, plural(result.tracksRemoved, "track", "tracks"),
                                  plural(result.keysRemoved, "key", "keys"));
}

namespace {

struct Key
{
    int frame;
    int row;
};

struct Fill
{
    int after; // the row the new key follows in the table
    int frame;
    int from, to; // the keys around it
};

} // namespace

QString filledNote()
{
    return QStringLiteral("Filled: on a straight line between the keys around the gap");
}

void runFillGaps(OperationRun &run)
{
    const TrackOperation &op = run.op;
    const int rows = run.rowCount();
    // Each track's keys in frame order.
    std::vector<std::vector<Key>> keys(run.trackNames.size());
    for (int r = 0; r < rows; ++r) {
        if (!run.selected(r)) continue;
        int frame = 0;
        if (!run.frameOf(r, frame)) return;
        keys[size_t(run.trackOf[size_t(r)])].push_back({frame, r});
    }
    // The gaps first: the keys they would add are counted before any is made.
    struct Gap
    {
        int from, to; // the rows around it
    };
    std::vector<Gap> gapList;
    long long adding = 0;
    int tracks = 0;
    for (std::vector<Key> &track : keys) {
        if (track.size() < 2) continue;
        auto earlier = [](const Key &a, const Key &b) {
            return a.frame < b.frame || (a.frame == b.frame && a.row < b.row);
        };
        if (!std::is_sorted(track.begin(), track.end(), earlier))
            std::sort(track.begin(), track.end(), earlier);
        const size_t before = gapList.size();
        for (size_t i = 0; i + 1 < track.size(); ++i) {
            const long long missing = (long long)track[i + 1].frame - track[i].frame - 1;
            if (missing < 1 || (op.count > 0 && missing > op.count)) continue;
            gapList.push_back({track[i].row, track[i + 1].row});
            adding += missing;
        }
        if (gapList.size() > before) ++tracks;
    }
    if (adding > MaxFilledKeys || adding > std::numeric_limits<int>::max() - (long long)rows) {
        run.result.error = QStringLiteral("filling the gaps would add %1 keys, more than the %2 "
                                          "one fill may add; fill only the shorter gaps.")
                               .arg(adding)
                               .arg(MaxFilledKeys);
        return;
    }
    // The keys around each gap must be numbers, under a plain name.
    for (const Gap &gap : gapList) {
        double x = 0, y = 0;
        if (!run.sourcePoint(gap.from, x, y) || !run.sourcePoint(gap.to, x, y)) return;
        if (run.view.nameId(gap.from) < 0) {
            run.rowError(gap.from, QStringLiteral("its name cell is not a plain name (a formula "
                                                  "or empty): its gaps cannot be filled"));
            return;
        }
    }
    const int gaps = int(gapList.size());
    TrackOperationResult &result = run.result;
    result.keysAdded = int(adding);
    result.tracksChanged = tracks;
    result.summary =
        QStringLiteral("fill gaps%1: %2 filled, %3 added to %4")
            .arg(op.count > 0
                     ? QStringLiteral(" of up to %1").arg(plural(op.count, "frame", "frames"))
                     : QString(),
                 plural(gaps, "gap", "gaps"), plural(result.keysAdded, "key", "keys"),
                 plural(tracks, "track", "tracks"));
    if (!run.writing() || adding == 0) return;
    std::vector<Fill> fills;
    fills.reserve(size_t(adding));
    for (const Gap &gap : gapList) {
        const int first = run.view.frame(gap.from), last = run.view.frame(gap.to);
        for (int f = first + 1; f < last; ++f)
            fills.push_back({gap.from, f, gap.from, gap.to});
    }

    // Each new row goes behind the key it follows, in one pass.
    TrackTable &table = *run.table;
    std::stable_sort(fills.begin(), fills.end(),
                     [](const Fill &a, const Fill &b) { return a.after < b.after; });
    std::vector<int> after(fills.size());
    for (size_t i = 0; i < fills.size(); ++i)
        after[i] = fills[i].after;
    // The rows around each gap are read before any row moves.
    struct Made
    {
        quint32 nameId;
        int source;
        QString sourceText; // the source format of a row with a text of its own
        double x, y;
        bool converted;
        double pixelX, pixelY, shownX, shownY;
    };
    std::vector<Made> made(fills.size());
    for (size_t i = 0; i < fills.size(); ++i) {
        const Fill &fill = fills[i];
        Made &m = made[i];
        int f0 = 0, f1 = 0;
        run.frameOf(fill.from, f0);
        run.frameOf(fill.to, f1);
        const double t = double(fill.frame - f0) / double(f1 - f0);
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        run.sourcePoint(fill.from, x0, y0);
        run.sourcePoint(fill.to, x1, y1);
        m.nameId = quint32(table.nameId(fill.from));
        m.source = table.sourceFormatId(fill.from);
        if (m.source < 0) m.sourceText = table.sourceFormat(fill.from);
        m.x = x0 + (x1 - x0) * t;
        m.y = y0 + (y1 - y0) * t;
        // Between two converted keys the new one is converted alike.
        double px0 = 0, py0 = 0, px1 = 0, py1 = 0, sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
        m.converted = table.pixelPoint(fill.from, &px0, &py0) &&
                      table.pixelPoint(fill.to, &px1, &py1) &&
                      table.numericCoordinate(fill.from, XColumn, &sx0) &&
                      table.numericCoordinate(fill.from, YColumn, &sy0) &&
                      table.numericCoordinate(fill.to, XColumn, &sx1) &&
                      table.numericCoordinate(fill.to, YColumn, &sy1);
        m.pixelX = px0 + (px1 - px0) * t;
        m.pixelY = py0 + (py1 - py0) * t;
        m.shownX = sx0 + (sx1 - sx0) * t;
        m.shownY = sy0 + (sy1 - sy0) * t;
    }
    table.insertRowsAfter(after);
    if (table.columnCount() == 0) table.setColumnCount(TrackColumnCount);
    const QString filled = filledNote();
    for (size_t i = 0; i < fills.size(); ++i) {
        const Made &m = made[i];
        const int r = fills[i].after + int(i) + 1;
        table.setImportedRow(r, m.nameId, fills[i].frame, m.x, m.y, quint8(std::max(m.source, 0)));
        if (m.source < 0) table.setData(r, XColumn, Qt::WhatsThisRole, m.sourceText);
        if (m.converted)
            table.storeConverted(r, m.pixelX, m.pixelY, m.shownX, m.shownY, fills[i].frame);
        table.setRowNote(r, filled);
    }
}

} // namespace corvane
