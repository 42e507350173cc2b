// SPDX-License-Identifier: Apache-2.0
// The shape writers gather the table's shape rows (shape tracks, by the
// name rules of table/tracknames.h) into shapes, vertices and key frames
// here, ordered by the numbers themselves (shape, frame, vertex), so that no
// two rows ever share a key.
#pragma once

#include "formats/kit/byteappender.h"
#include "formats/writecontext.h"
#include "table/tracknames.h"

#include <QString>

#include <string_view>
#include <vector>

namespace corvane {

struct ShapeRow
{
    int name = 0; // index into ShapeRows::names
    int frame = 0;
    double x = 0, y = 0;
};

// The shape rows of an export, in export order; point-track rows are counted.
struct ShapeRows
{
    std::vector<ShapeRow> rows;
    std::vector<QString> names; // each vertex name once
    int pointRows = 0;          // rows of point tracks, which shape formats do not hold
};
ShapeRows collectShapeRows(WriteContext &ctx);

// The shapes of an export: shapes in the order of their prefixes, each with
// its vertices (distinct track names, in name order) and its key frames in
// ascending frame order; a key frame lists the vertices that have a row at
// that frame. A vertex has one position per frame: of two rows of one
// vertex and frame, the later in export order wins.
//
// Kept flat, in a few arrays for all shapes (a million small shapes cost
// no allocation each): shape s has vertexCounts[s] vertices and the keys
// keyStarts[s] up to keyStarts[s + 1]; key k is at frame keyFrames[k] and
// lists the points pointStarts[k] up to pointStarts[k + 1]; point p is
// vertex pointVertices[p] (from 0, in name order) at (pointX[p], pointY[p]).
struct SortedShapes
{
    std::vector<int> vertexCounts;
    std::vector<size_t> keyStarts{0};
    std::vector<int> keyFrames;
    std::vector<size_t> pointStarts{0};
    std::vector<int> pointVertices;
    std::vector<double> pointX, pointY;
    int pointRows = 0;
    int repeatedRows = 0; // rows left out: a later row had the same vertex and frame
    // Per shape, whether it is open (any of its vertices is named open), and
    // the prefixes of the open shapes, in shape order.
    std::vector<char> open;
    std::vector<QString> openPrefixes;

    size_t shapeCount() const { return vertexCounts.size(); }
    bool isOpen(size_t shape) const { return open[shape] != 0; }
    size_t keyCount(size_t shape) const { return keyStarts[shape + 1] - keyStarts[shape]; }
};
SortedShapes sortShapeRows(const ShapeRows &rows);

// The points of one key, each as `before` X `between` Y `after`, the
// coordinates in full.
void appendKeyPoints(ByteAppender &out, const SortedShapes &sorted, size_t key,
                     std::string_view before, std::string_view between, std::string_view after);

// The notes a shape save leaves: rows of point tracks not written, rows
// left out for repeating a vertex and frame.
void noteShapeSave(WriteContext &ctx, int pointRows, int repeatedRows);

// For a format whose shapes are all closed: the one note that the open
// shapes (their prefixes, as many as a note can list) were written closed,
// and why (`reason`: "Shake RotoShape shapes are closed."). None without any.
void noteOpenShapesClosed(WriteContext &ctx, const std::vector<QString> &openPrefixes,
                          const QString &reason);

} // namespace corvane
