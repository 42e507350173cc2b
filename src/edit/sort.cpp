// SPDX-License-Identifier: Apache-2.0
#include "sort.h"

#include "table/tracktable.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace corvane {

namespace {

void appendSortKey(QString &out, const QString &name, int frame)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, frame).ptr;
    const int pad = frame < 10 ? 4 : frame < 100 ? 3 : frame < 1000 ? 2 : frame < 10000 ? 1 : 0;
    out += name;
    out += QLatin1String("0000", pad);
    out += QLatin1String(digits, int(end - digits));
}

} // namespace

QString sortKey(const QString &name, int frame)
{
    QString key;
    appendSortKey(key, name, frame);
    return key;
}

std::vector<int> sortRows(TrackTable &table, SortOrder order)
{
    // Every key in one buffer: a million small strings would each be an
    // allocation of their own and scattered in memory.
    const int rows = table.rowCount();
    QString buffer;
    std::vector<std::pair<qsizetype, qsizetype>> keys; // start and length in buffer
    keys.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const qsizetype start = buffer.size();
        appendSortKey(buffer, table.name(r), table.frame(r));
        keys.push_back({start, buffer.size() - start});
    }
    auto key = [&](int r) {
        return QStringView(buffer).mid(keys[size_t(r)].first, keys[size_t(r)].second);
    };

    std::vector<int> permutation(static_cast<size_t>(rows));
    std::iota(permutation.begin(), permutation.end(), 0);
    if (order == SortOrder::Ascending) {
        std::stable_sort(permutation.begin(), permutation.end(),
                         [&](int a, int b) { return key(a).compare(key(b)) < 0; });
    } else {
        std::stable_sort(permutation.begin(), permutation.end(),
                         [&](int a, int b) { return key(a).compare(key(b)) > 0; });
    }
    table.permuteRows(permutation);

    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < table.columnCount(); ++c)
            if (table.hasItem(r, c))
                table.setBackground(r, c, c == NameColumn ? colors::nameCell : colors::valueCell);
    }
    return permutation;
}

} // namespace corvane
