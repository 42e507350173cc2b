// SPDX-License-Identifier: Apache-2.0
// The rules track names follow. Shape tracks: a track whose name begins with
// "S" is one vertex of a shape, and the text before its first "_" names the
// shape ("S01_Track_0003" is a vertex of shape "S01").
#pragma once

#include <QString>

namespace corvane {

bool isShapeTrack(const QString &name);
// The text before the first "_" (the whole name when it has none).
QString shapePrefix(const QString &name);

// The name a shape reader gives vertex `vertex` of shape `shape` (both from
// 1): "S01_Track_0001"; the numbers are zero-filled to two and four digits.
QString shapeVertexName(int shape, int vertex);

// An open shape (a paint stroke, an open spline: its last vertex does not
// join its first) is told by its vertices' names, whose part after the
// prefix begins with "Open_": "S04_Open_0001". Every other shape is closed.
constexpr const char *openVertexWord = "Open_";
bool isOpenShapeTrack(const QString &name);
// "S04_Open_0001", numbered as shapeVertexName numbers.
QString openShapeVertexName(int shape, int vertex);

} // namespace corvane
