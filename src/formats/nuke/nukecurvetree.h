// SPDX-License-Identifier: Apache-2.0
// The curve trees Nuke 7 and later write in the "curves" knob of Roto,
// RotoPaint and SplineWarp nodes: layers holding shapes (curvegroups) and
// strokes, each with its transform and attributes, in nested braces.
#pragma once

#include "formats/kit/rowcollector.h"

#include <QByteArray>

namespace corvane {

// Whether the script holds a curve tree in this layout.
bool hasCurveTrees(const QByteArray &data);

// What the trees of a script held, read or not.
struct CurveTreeContents
{
    int trees = 0, shapes = 0, strokes = 0;
};

// Reads the shapes and paint strokes of every curve tree in the script, in
// file order: each one's vertices become shape tracks numbered on from
// `shape` (which is left at the last number given), their keys rows placed
// where Nuke draws them (through the shape's and its layers' transforms).
// Strokes and open splines are open shapes. What is left out or changed,
// and which node each shape came from, goes to the notes.
CurveTreeContents readCurveTrees(const QByteArray &data, RowCollector &rows, ReaderNotes &notes,
                                 int &shape);

// Follows a script's braces line by line (outside quoted strings, escapes
// skipped), so that a reader that takes lines one by one still knows
// whether the script ends where its last node closes.
class NodeBraces
{
public:
    void see(Field line, int number);
    // The error of a script that ends inside a node; empty when none.
    QString unclosed() const;

private:
    long long m_depth = 0;
    bool m_inString = false;
    QString m_node; // the class of the node open at the top level
    int m_nodeLine = 0;
};

} // namespace corvane
