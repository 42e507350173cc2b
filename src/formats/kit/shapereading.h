// SPDX-License-Identifier: Apache-2.0
// What the shape readers share: rows gathered as (shape, vertex, key) in any
// order, then given out shape after shape, each vertex whole, keys in file
// order, under the names the reader gives them.
#pragma once

#include "rowcollector.h"

#include <QString>

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

// The fields of a line as splitTrimmed (textscan.h) gives them: the runs
// of characters between white space. The long lines of shape files (a
// curve's keys, a key's vertices) are looked over sixteen bytes at a time.
void splitFields(Field line, std::vector<Field> &fields);

// The braces of a script's nodes (Nuke's, Fusion's), counted over its
// lines outside double quotes, a backslash escaping the character after
// it: the same count and error as NodeBraces (formats/nuke), with the
// bytes between braces, quotes and backslashes passed sixteen at a time.
class ScriptBraces
{
public:
    void see(Field line, int number);
    // The error of a script that ends inside a node; empty when none.
    QString unclosed() const;

private:
    void noteNode(Field line, int number);
    void see(char c); // a brace or a quote

    long long m_depth = 0;
    bool m_inString = false;
    QString m_node; // the class of the node open at the top level
    int m_nodeLine = 0;
};

} // namespace corvane
