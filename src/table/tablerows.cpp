// SPDX-License-Identifier: Apache-2.0
// The track table's row order: inserting, removing and reordering rows, the
// blocks of whole rows undo keeps, and copies of the table.
#include "tablestorage.h"

#include "parallel.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace corvane {

// Moves a row's extras from one store to another.
static void rehome(quint32 &id, TrackTable::ExtraStore *from, TrackTable::ExtraStore &to)
{
    if (id == 0 || !from) return;
    id = to.add(from->take(id));
}

void TrackTable::insertRows(int position, int count)
{
    if (count <= 0) return;
    position = std::clamp(position, 0, rowCount());
    std::vector<Row> fresh(static_cast<size_t>(count));
    m_rows.insert(m_rows.begin() + position, std::make_move_iterator(fresh.begin()),
                  std::make_move_iterator(fresh.end()));
    // New rows hold no values: their points are their values.
    if (size_t(position) < m_points.size())
        m_points.insert(m_points.begin() + position, size_t(count), RowPoints());
    touch();
}

// From the back: every old item moves down by the new ones before it.
template <typename Items> static void spreadAfter(Items &items, const std::vector<int> &after)
{
    const qint64 old = qint64(items.size());
    items.resize(items.size() + after.size());
    qint64 next = qint64(after.size()) - 1, to = qint64(items.size()) - 1;
    for (qint64 from = old - 1; from >= -1; --from) {
        while (next >= 0 && after[size_t(next)] >= from) {
            items[size_t(to--)] = {};
            --next;
        }
        if (from >= 0 && to != from) items[size_t(to)] = items[size_t(from)];
        --to;
    }
}

void TrackTable::insertRowsAfter(const std::vector<int> &after)
{
    if (after.empty()) return;
    spreadPoints();
    spreadAfter(m_rows, after);
    if (!m_points.empty()) spreadAfter(m_points, after);
    touch();
}

void TrackTable::removeRows(int position, int count)
{
    if (position < 0 || count <= 0 || position >= rowCount()) return;
    count = std::min(count, rowCount() - position);
    m_marked.rows -= marksIn(size_t(position), size_t(position + count));
    releaseExtras(size_t(position), size_t(position + count));
    m_rows.erase(m_rows.begin() + position, m_rows.begin() + position + count);
    if (size_t(position) < m_points.size())
        m_points.erase(m_points.begin() + position,
                       m_points.begin() + std::min(size_t(position + count), m_points.size()));
    releaseSpareRoom();
    touch();
}

// A table that lost most of its rows (an addition undone) gives back the
// room they took; growing again later costs one copy of the rows left.
template <typename Items> static void releaseSpare(Items &items)
{
    constexpr size_t small = size_t(1) << 16;
    if (items.capacity() > 2 * items.size() + small) Items(items.begin(), items.end()).swap(items);
}

void TrackTable::releaseSpareRoom()
{
    releaseSpare(m_rows);
    releaseSpare(m_points);
}

// In place, a cycle of the permutation at a time: a second array of rows
// would double the table's memory for the while, and the system's clearing
// of that much fresh memory took longer than the moves themselves.
template <typename Items> static void permute(Items &items, const std::vector<int> &order)
{
    std::vector<bool> placed(order.size(), false);
    for (size_t start = 0; start < order.size(); ++start) {
        if (placed[start]) continue;
        auto first = items[start]; // the cycle's last position takes it
        size_t at = start;
        for (;;) {
            placed[at] = true;
            const size_t from = size_t(order[at]);
            if (from == start) break;
            items[at] = items[from];
            at = from;
        }
        items[at] = first;
    }
}

void TrackTable::permuteRows(const std::vector<int> &order)
{
    spreadPoints();
    permute(m_rows, order);
    if (!m_points.empty()) permute(m_points, order);
    touch();
}

TrackTable::Row TrackTable::copyOf(const Row &row, const ExtraStore *from, ExtraStore &to)
{
    Row copy = row;
    copy.extra = 0;
    if (const RowExtra *extra = from ? from->get(row.extra) : nullptr)
        copy.extra = to.add(std::make_unique<RowExtra>(*extra));
    return copy;
}

void TrackTable::noteFormulas(const Row &row)
{
    for (int c = 0; c < TrackColumnCount; ++c)
        if (row.kind(c) == CellKind::Formula) m_mayHoldFormulas = true;
}

RowBlock TrackTable::copyRows(const std::vector<int> &rows) const
{
    RowBlock block;
    block.m_rows.reserve(rows.size());
    for (int r : rows) {
        // A block's rows store what they show: the table's rule may change before they return.
        RowPoints settled;
        const Row copy = settledCopy(row(r), settled);
        appendRow(block.m_rows, block.m_points, copyOf(copy, m_extras.get(), block.store()),
                  row(r).byRule() ? &settled : keptPoints(size_t(r)));
    }
    return block;
}

void TrackTable::swapRows(const std::vector<int> &rows, RowBlock &block)
{
    for (size_t i = 0; i < rows.size() && i < block.m_rows.size(); ++i) {
        settle(rows[i]);
        Row &here = row(rows[i]);
        Row &there = block.m_rows[i];
        rehome(here.extra, m_extras.get(), block.store());
        rehome(there.extra, block.m_extras.get(), store());
        m_marked.rows += int(marks(there)) - int(marks(here));
        // Points kept on either side are kept on both.
        if (keptPoints(size_t(rows[i])) || i < block.m_points.size()) {
            extendPoints(block.m_rows, block.m_points, i + 1);
            std::swap(pointsFor(rows[i]), block.m_points[i]);
        }
        std::swap(here, there);
        noteFormulas(here);
    }
    touch();
}

RowBlock TrackTable::takeRows(const std::vector<int> &rows)
{
    RowBlock block;
    block.m_rows.reserve(rows.size());
    // Kept rows that had points are the first kept ones: they keep them.
    size_t next = 0, kept = 0, keptPointed = 0;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        if (next < rows.size() && size_t(rows[next]) == r) {
            RowPoints settled;
            Row taken = settledCopy(m_rows[r], settled);
            rehome(taken.extra, m_extras.get(), block.store());
            m_marked.rows -= int(marks(taken));
            appendRow(block.m_rows, block.m_points, taken,
                      m_rows[r].byRule() ? &settled : keptPoints(r));
            ++next;
        } else {
            if (kept != r) m_rows[kept] = m_rows[r];
            if (r < m_points.size()) {
                if (kept != r) m_points[kept] = m_points[r];
                keptPointed = kept + 1;
            }
            ++kept;
        }
    }
    m_rows.resize(kept);
    if (m_points.size() > keptPointed) m_points.resize(keptPointed);
    releaseSpareRoom();
    touch();
    return block;
}

void TrackTable::putRows(const std::vector<int> &rows, RowBlock &&block)
{
    if (placesEveryRow(rows, block)) return putRowsInPlace(rows, std::move(block));
    putRowsInPlace(placesOf(rows, block), std::move(block));
}

// One place for each of the block's rows, in ascending order, within the grown table.
bool TrackTable::placesEveryRow(const std::vector<int> &rows, const RowBlock &block) const
{
    const size_t total = m_rows.size() + block.m_rows.size();
    if (rows.size() != block.m_rows.size()) return false;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] < 0 || size_t(rows[i]) >= total || (i > 0 && rows[i] <= rows[i - 1]))
            return false;
    return true;
}

// Places for the block's rows when `rows` does not give each one its own:
// going down the grown table, a position takes the next block row when it
// is that row's, when `rows` has run out, or when the old rows have.
std::vector<int> TrackTable::placesOf(const std::vector<int> &rows, const RowBlock &block) const
{
    std::vector<int> places;
    const size_t incoming = block.m_rows.size(), total = m_rows.size() + incoming;
    for (size_t r = 0, next = 0, old = 0; r < total && next < incoming; ++r) {
        if (next >= rows.size() || size_t(rows[next]) == r || old >= m_rows.size()) {
            places.push_back(int(r));
            ++next;
        } else {
            ++old;
        }
    }
    return places;
}

// Grows items by incoming and merges them from the back, incoming[i] to rows[i].
template <typename Items, typename Incoming>
static void merge(Items &items, Incoming &incoming, const std::vector<int> &rows)
{
    size_t old = items.size(), next = incoming.size();
    items.resize(old + next);
    for (size_t r = items.size(); r-- > 0 && next > 0;)
        items[r] = size_t(rows[next - 1]) == r ? incoming[--next] : items[--old];
    incoming.clear();
}

// A block's row that shows exactly what the table's rule makes of its
// imported values shows by the rule again, and needs no points kept: rows
// taken out of a converted table and put back leave it as small as it was.
void TrackTable::showIncomingByRule(RowBlock &block) const
{
    if (!m_shownRule || block.m_points.empty()) return;
    constexpr quint8 converted = AppliedFlags | HasImported;
    bool pointsNeeded = false;
    for (size_t i = 0; i < block.m_points.size(); ++i) {
        Row &rw = block.m_rows[i];
        const RowPoints &points = block.m_points[i];
        Row ruled = rw;
        std::memcpy(ruled.value, points.imported, sizeof ruled.value);
        ruled.source |= Row::ByRule;
        RowPoints made;
        const bool shows =
            rw.plainPoint() && (rw.flags & converted) == converted &&
            m_shownRule->knowsSource(rw.sourceId()) &&
            std::memcmp(settledCopy(ruled, made).value, rw.value, sizeof rw.value) == 0 &&
            std::memcmp(made.pixel, points.pixel, sizeof made.pixel) == 0;
        if (shows)
            rw = ruled;
        else
            pointsNeeded = pointsNeeded || !RowPoints::sameAs(points, rw);
    }
    if (!pointsNeeded) block.m_points.clear();
}

// The table grows in its own array and is merged from the back: the rows
// move once, and no second array of the whole table is made (whose fresh
// memory the system would clear first).
void TrackTable::putRowsInPlace(const std::vector<int> &rows, RowBlock &&block)
{
    showIncomingByRule(block);
    for (Row &incoming : block.m_rows) {
        rehome(incoming.extra, block.m_extras.get(), store());
        noteFormulas(incoming);
        m_marked.rows += int(marks(incoming));
    }
    if (!m_points.empty() || !block.m_points.empty()) {
        holdPoints();
        extendPoints(block.m_rows, block.m_points, block.m_rows.size());
        merge(m_points, block.m_points, rows);
    }
    merge(m_rows, block.m_rows, rows);
    touch();
}

TrackTable TrackTable::clone(int moreRows) const
{
    TrackTable copy;
    copy.m_rows.reserve(m_rows.size() + size_t(std::max(moreRows, 0)));
    copy.m_rows.assign(m_rows.begin(), m_rows.end()); // slot numbers stay: the store is
                                                      // copied slot for slot
    copy.m_points = m_points;
    if (m_extras) {
        ExtraStore &to = copy.store();
        to.unused = m_extras->unused;
        to.entries.reserve(m_extras->entries.size());
        for (const auto &extra : m_extras->entries)
            to.entries.push_back(extra ? std::make_unique<RowExtra>(*extra) : nullptr);
    }
    copy.m_columns = m_columns;
    copy.m_names = m_names;
    copy.m_nameIds = m_nameIds;
    copy.m_sources = m_sources;
    copy.m_sourceIds = m_sourceIds;
    copy.m_mayHoldFormulas = m_mayHoldFormulas;
    copy.m_marked.rows = m_marked.rows;
    copy.m_shownToSource = m_shownToSource;
    copy.m_shownRule = m_shownRule;
    return copy;
}

RowBlock::RowBlock() = default;
RowBlock::~RowBlock() = default;
RowBlock::RowBlock(RowBlock &&) noexcept = default;
RowBlock &RowBlock::operator=(RowBlock &&) noexcept = default;

TrackTable::ExtraStore &RowBlock::store()
{
    if (!m_extras) m_extras = std::make_unique<TrackTable::ExtraStore>();
    return *m_extras;
}

int RowBlock::size() const
{
    return int(m_rows.size());
}

qint64 RowBlock::memoryBytes() const
{
    return qint64(m_rows.capacity() * sizeof(TrackTable::Row)) +
           qint64(m_points.capacity() * sizeof(TrackTable::RowPoints)) +
           (m_extras ? qint64(m_extras->entries.size()) * ExtraBytes : 0);
}

RowBlock RowBlock::blank(int count)
{
    RowBlock block;
    block.m_rows.resize(size_t(std::max(count, 0)));
    return block;
}

RowBlock RowBlock::takeFront(int count)
{
    RowBlock front;
    count = std::clamp(count, 0, size());
    front.m_rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        rehome(m_rows[size_t(i)].extra, m_extras.get(), front.store());
        const size_t at = size_t(i);
        appendRow(front.m_rows, front.m_points, m_rows[at],
                  at < m_points.size() ? &m_points[at] : nullptr);
    }
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    m_points.erase(m_points.begin(), m_points.begin() + std::min(size_t(count), m_points.size()));
    return front;
}

void RowBlock::append(RowBlock &&other)
{
    for (size_t i = 0; i < other.m_rows.size(); ++i) {
        TrackTable::Row &row = other.m_rows[i];
        rehome(row.extra, other.m_extras.get(), store());
        appendRow(m_rows, m_points, row, i < other.m_points.size() ? &other.m_points[i] : nullptr);
    }
    other.m_rows.clear();
    other.m_points.clear();
}

size_t TrackTable::memoryUse() const
{
    size_t bytes = m_rows.capacity() * sizeof(Row) + m_points.capacity() * sizeof(RowPoints);
    if (m_extras)
        for (const auto &extra : m_extras->entries)
            if (extra) bytes += sizeof(RowExtra);
    return bytes;
}

} // namespace corvane
