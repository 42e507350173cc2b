// SPDX-License-Identifier: Apache-2.0
// What the shape readers share: rows gathered as (shape, vertex, key) in any
// order, then given out shape after shape, each vertex whole, keys in file
// order, under the names the reader gives them.
#pragma once

#include "rowcollector.h"

#include <functional>
#include <vector>

namespace corvane {

struct ShapePoint
{
    int shape, vertex, key, frame;
    double x, y;
};

// Orders the points by their numbers and adds them to rows; name(shape,
// vertex) names each vertex track.
void addShapePoints(std::vector<ShapePoint> &points, RowCollector &rows,
                    const std::function<QString(int shape, int vertex)> &name);

} // namespace corvane
