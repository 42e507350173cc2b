#include "sort.h"

#include "table/tracktable.h"

#include <algorithm>
#include <numeric>

namespace corvane {

QString sortKey(const QString &name, int frame)
{
    QString digits = QString::number(frame);
    int pad = frame < 10 ? 4 : frame < 100 ? 3 : frame < 1000 ? 2 : frame < 10000 ? 1 : 0;
    return name + QString(pad, QLatin1Char('0')) + digits;
}

std::vector<int> sortRows(TrackTable &table, SortOrder order)
{
    const int rows = table.rowCount();
    std::vector<QString> keys;
    keys.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r)
        keys.push_back(sortKey(table.name(r), table.frame(r)));

    std::vector<int> permutation(static_cast<size_t>(rows));
    std::iota(permutation.begin(), permutation.end(), 0);
    if (order == SortOrder::Ascending) {
        std::stable_sort(permutation.begin(), permutation.end(), [&](int a, int b) {
            return QString::compare(keys[size_t(a)], keys[size_t(b)]) < 0;
        });
    } else {
        std::stable_sort(permutation.begin(), permutation.end(), [&](int a, int b) {
            return QString::compare(keys[size_t(a)], keys[size_t(b)]) > 0;
        });
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
