// SPDX-License-Identifier: Apache-2.0
// The window's look: palettes, step captions and field style sheets.
#pragma once

#include <QPalette>
#include <QString>

namespace look {

QPalette applicationPalette();
QPalette mainWindowPalette();
// The table's: the application's, with a selection (amber, dark text) that
// the blue of marked rows cannot be taken for.
QPalette tablePalette();

// "<p><i><font color=#9b7350>Step N</font></i></p>", blue (#648caf) when done.
QString stepCaption(int step, bool done);

inline const char *plateMissingStyle = "* { background-color: rgb(155,115,80) }";
inline const char *plateSetStyle = "* { background-color: rgb(40,40,40) }";
inline const char *fileFieldStyle = "background-color: rgb(100, 100, 100);";

} // namespace look
