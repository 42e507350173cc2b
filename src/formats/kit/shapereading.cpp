// SPDX-License-Identifier: Apache-2.0
#include "shapereading.h"

#include <algorithm>
#include <numeric>

namespace corvane {

void addShapePoints(std::vector<ShapePoint> &points, RowCollector &rows,
                    const std::function<QString(int shape, int vertex)> &name)
{
    auto before = [&](const ShapePoint &a, const ShapePoint &b) {
        if (a.shape != b.shape) return a.shape < b.shape;
        if (a.vertex != b.vertex) return a.vertex < b.vertex;
        return a.key < b.key;
    };
    // Points already in order (one key per shape, say) are taken as they
    // are; others are ordered through their indices, a fraction of their size.
    std::vector<quint32> order;
    if (!std::is_sorted(points.begin(), points.end(), before)) {
        order.resize(points.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](quint32 a, quint32 b) { return before(points[a], points[b]); });
    }
    rows.reserve(rows.count() + int(points.size()));
    QString current;
    int shape = -1, vertex = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const ShapePoint &p = points[order.empty() ? i : order[i]];
        if (p.shape != shape || p.vertex != vertex) {
            current = name(p.shape, p.vertex);
            shape = p.shape;
            vertex = p.vertex;
        }
        rows.addValues(current, p.frame, p.x, p.y);
    }
}

} // namespace corvane
