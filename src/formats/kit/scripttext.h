// SPDX-License-Identifier: Apache-2.0
// What the writers of other programs' scripts and scenes share: a save's
// tracks as runs of rows, names as string literals of the scripts'
// languages, and a plate laid out as a plane of a scene.
#pragma once

#include "formats/writecontext.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane {

// One track of a save: its name (as the format holds it) and its rows,
// export rows first .. first + count - 1.
struct TrackRun
{
    QString name;
    int first = 0;
    int count = 0;
};
// The save's rows as runs of one name, in export order (a name that comes
// back later is a run of its own).
std::vector<TrackRun> trackRuns(WriteContext &ctx);

// A string literal between double quotes, for the languages whose files
// are read as ASCII (Python, ExtendScript): backslash escapes for quotes,
// backslashes and control characters, every character beyond ASCII as
// \uXXXX (Python: \UXXXXXXXX past the Basic Multilingual Plane; JavaScript:
// its UTF-16 halves).
enum class Literal { Python, JavaScript, Utf8 };
// Utf8: quotes, backslashes, tabs and line ends escaped, everything else
// written as UTF-8 (MEL, MAXScript).
void appendQuoted(QByteArray &out, const QString &text, Literal language);

// The plate in a scene: pixels from the plate's lower-left edge, Y up, to a
// plane centred on the origin whose width is ten units.
struct ScenePlane
{
    ScenePlane(int plateWidth, int plateHeight);
    double x(double pixels) const { return (pixels - halfWidth) * scale; }
    double y(double pixels) const { return (pixels - halfHeight) * scale; }
    double width() const { return 2 * halfWidth * scale; }
    double height() const { return 2 * halfHeight * scale; }

    double halfWidth, halfHeight, scale;
};

} // namespace corvane
