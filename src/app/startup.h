// SPDX-License-Identifier: Apache-2.0
// The application's look, set up the same way for the window and for the
// program that photographs it for the manual.
#pragma once

class QWidget;

namespace startup {

// Before the QApplication exists: the style.
void chooseStyle();
// After it: names, icon and the embedded font.
void prepareApplication();
// Once the main window exists: the palette and the interface font.
void applyLook(QWidget &window);

} // namespace startup
