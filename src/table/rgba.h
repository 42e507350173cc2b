// SPDX-License-Identifier: Apache-2.0
// A colour as the core keeps it; the view turns it into a QColor.
#pragma once

#include <QtGlobal>

namespace corvane {

struct Rgba
{
    quint8 r = 0, g = 0, b = 0, a = 255;
    friend bool operator==(Rgba x, Rgba y)
    {
        return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
    }
    friend bool operator!=(Rgba x, Rgba y) { return !(x == y); }
};

namespace colors {
constexpr Rgba nameCell{65, 77, 88, 127};   // "Track Name" cells of imported rows
constexpr Rgba valueCell{80, 80, 80, 127};  // "Frame", "X Coord", "Y Coord" cells
constexpr Rgba rowMark{100, 140, 175, 200}; // a row marked for export
} // namespace colors

} // namespace corvane
