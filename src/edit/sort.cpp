// SPDX-License-Identifier: Apache-2.0
#include "sort.h"

#include "table/parallel.h"
#include "table/tracktable.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>

namespace corvane {

namespace {

// The frame as the key writes it, padded to five characters; its length.
int frameText(int frame, char (&out)[16])
{
    const int pad = frame < 10 ? 4 : frame < 100 ? 3 : frame < 1000 ? 2 : frame < 10000 ? 1 : 0;
    std::memset(out, '0', size_t(pad));
    return int(std::to_chars(out + pad, out + sizeof out, frame).ptr - out);
}

void appendSortKey(QString &out, const QString &name, int frame)
{
    char digits[16];
    out += name;
    out += QLatin1String(digits, frameText(frame, digits));
}

// Compares the keys of two rows, name then frame text, as sortKey writes
// them, without making them.
int compareKeys(QStringView name1, int frame1, QStringView name2, int frame2)
{
    char f1[16], f2[16];
    const int l1 = frameText(frame1, f1), l2 = frameText(frame2, f2);
    const qsizetype n1 = name1.size(), n2 = name2.size();
    const qsizetype length1 = n1 + l1, length2 = n2 + l2;
    const qsizetype common = std::min(n1, n2);
    if (const int c = name1.left(common).compare(name2.left(common))) return c;
    for (qsizetype i = common; i < std::min(length1, length2); ++i) {
        const char16_t a = i < n1 ? name1[i].unicode() : char16_t(f1[i - n1]);
        const char16_t b = i < n2 ? name2[i].unicode() : char16_t(f2[i - n2]);
        if (a != b) return a < b ? -1 : 1;
    }
    return length1 < length2 ? -1 : length1 > length2 ? 1 : 0;
}

bool frameLess(int a, int b)
{
    if (a >= 0 && b >= 0 && a <= 99999 && b <= 99999) return a < b; // five digits: as numbers
    return compareKeys({}, a, {}, b) < 0;
}

// One row as the sort sees it. A name that is no other name's prefix (nor
// has one) decides against any other name alone, by its rank among the
// names; a prefix, a formula or a missing name compares whole keys.
struct SortRow
{
    qint32 rank; // -1: compare whole keys
    qint32 name; // index into the sort's names
    qint32 frame;
    qint32 row;
};

class RowKeys
{
public:
    explicit RowKeys(const TrackTable &table) : m_table(table) {}

    std::vector<SortRow> rows()
    {
        // Name ids are read row by row: no array of them beside the table's.
        std::vector<qint32> nameOfId = nameIndexes();
        rankNames();
        const int rowCount = m_table.rowCount();
        std::vector<SortRow> out(static_cast<size_t>(rowCount));
        forRowRanges(rowCount, [&](int begin, int end, int) {
            for (int r = begin; r < end; ++r) {
                const qint64 id = m_table.nameId(r);
                const qint32 name = id >= 0 ? nameOfId[size_t(id)] : -1;
                out[size_t(r)] = {name >= 0 ? m_rank[size_t(name)] : -1, name,
                                  qint32(m_table.frame(r)), r};
            }
        });
        for (SortRow &row : out) // names of their own: formulas, empty cells
            if (row.name < 0) {
                row.name = qint32(m_names.size());
                m_names.append(m_table.name(row.row));
            }
        return out;
    }

    bool less(const SortRow &a, const SortRow &b) const
    {
        if (a.name == b.name) return frameLess(a.frame, b.frame);
        if (a.rank >= 0 && b.rank >= 0) return a.rank < b.rank;
        return compareKeys(m_names[a.name], a.frame, m_names[b.name], b.frame) < 0;
    }

private:
    // Each interned name the rows use, once.
    std::vector<qint32> nameIndexes()
    {
        std::vector<qint32> index;
        for (int r = 0; r < m_table.rowCount(); ++r) {
            const qint64 id = m_table.nameId(r);
            if (id < 0) continue;
            if (size_t(id) >= index.size()) index.resize(size_t(id) + 1, -1);
            if (index[size_t(id)] >= 0) continue;
            index[size_t(id)] = qint32(m_names.size());
            m_names.append(m_table.nameOfId(quint32(id)));
        }
        return index;
    }

    // Names in order: a name that is a prefix of another is followed by one
    // that begins with it, so both are marked where neighbours are.
    void rankNames()
    {
        std::vector<qint32> byText(size_t(m_names.size()));
        std::iota(byText.begin(), byText.end(), 0);
        std::sort(byText.begin(), byText.end(),
                  [&](qint32 a, qint32 b) { return m_names[a].compare(m_names[b]) < 0; });
        m_rank.assign(byText.size(), 0);
        for (size_t i = 0; i < byText.size(); ++i)
            m_rank[size_t(byText[i])] = qint32(i);
        for (size_t i = 0; i + 1 < byText.size(); ++i)
            if (m_names[byText[i + 1]].startsWith(m_names[byText[i]]))
                m_rank[size_t(byText[i])] = m_rank[size_t(byText[i + 1])] = -1;
    }

    const TrackTable &m_table;
    QStringList m_names;
    std::vector<qint32> m_rank;
};

} // namespace

QString sortKey(const QString &name, int frame)
{
    QString key;
    appendSortKey(key, name, frame);
    return key;
}

std::vector<int> sortOrder(const TrackTable &table, SortOrder order)
{
    RowKeys keys(table);
    std::vector<SortRow> rows = keys.rows();
    auto less = [&](const SortRow &a, const SortRow &b) {
        return order == SortOrder::Ascending ? keys.less(a, b) : keys.less(b, a);
    };
    // Each core sorts its part; the parts are merged, the earlier first on
    // equal keys, so that rows with equal keys keep their table order.
    const int parts = std::clamp(int(rows.size() / 65536), 1, workerThreads());
    std::vector<size_t> bounds;
    for (int p = 0; p <= parts; ++p)
        bounds.push_back(rows.size() * size_t(p) / size_t(parts));
    forEachPiece(parts, [&](int p) {
        std::stable_sort(rows.begin() + qsizetype(bounds[size_t(p)]),
                         rows.begin() + qsizetype(bounds[size_t(p) + 1]), less);
    });
    for (int p = 1; p < parts; ++p)
        std::inplace_merge(rows.begin(), rows.begin() + qsizetype(bounds[size_t(p)]),
                           rows.begin() + qsizetype(bounds[size_t(p) + 1]), less);
    std::vector<int> permutation(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        permutation[i] = rows[i].row;
    return permutation;
}

std::vector<int> rowsToColour(const TrackTable &table)
{
    std::vector<int> out;
    for (int r = 0; r < table.rowCount(); ++r)
        for (int c = 0; c < table.columnCount(); ++c)
            if (table.hasItem(r, c) && table.background(r, c) != columnColour(c)) {
                out.push_back(r);
                break;
            }
    return out;
}

void colourRows(TrackTable &table, const std::vector<int> &rows)
{
    for (int r : rows)
        for (int c = 0; c < table.columnCount(); ++c)
            if (table.hasItem(r, c)) table.setBackground(r, c, columnColour(c));
}

std::vector<int> sortRows(TrackTable &table, SortOrder order)
{
    std::vector<int> permutation = sortOrder(table, order);
    table.permuteRows(permutation);
    colourRows(table, rowsToColour(table));
    return permutation;
}

} // namespace corvane
