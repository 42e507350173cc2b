// SPDX-License-Identifier: Apache-2.0
#include "shapereading.h"

#include <algorithm>

namespace corvane {

void addShapePoints(std::vector<ShapePoint> &points, RowCollector &rows,
                    const std::function<QString(int shape, int vertex)> &name)
{
    std::stable_sort(points.begin(), points.end(), [](const ShapePoint &a, const ShapePoint &b) {
        if (a.shape != b.shape) return a.shape < b.shape;
        if (a.vertex != b.vertex) return a.vertex < b.vertex;
        return a.key < b.key;
    });
    rows.reserve(rows.count() + int(points.size()));
    QString current;
    int shape = -1, vertex = -1;
    for (const ShapePoint &p : points) {
        if (p.shape != shape || p.vertex != vertex) {
            current = name(p.shape, p.vertex);
            shape = p.shape;
            vertex = p.vertex;
        }
        rows.addValues(current, p.frame, p.x, p.y);
    }
}

} // namespace corvane
