// SPDX-License-Identifier: Apache-2.0
// The manual's PDF: the HTML manual laid out on A4 pages by Qt's text
// layout and written by Qt's PDF writer, with everything inside the page.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace corvane {

// The page's margins, the same on all four sides; the page number sits in
// the bottom one.
constexpr double manualMarginMm = 20;

// One line of a code block, broken into lines no wider than room (as width
// measures them): at spaces where it can, each broken line ending in " \" as
// a shell line continues, the rest indented four spaces past the line's own
// indent. A word wider than room is cut where it must, with a "\" too.
QStringList wrapCodeLine(const QString &line, double room,
                         const std::function<double(const QString &)> &width);

// Writes the manual at htmlPath, with the pictures it names beside it, as
// the PDF pdfPath. Pictures are scaled to the text area (never cropped) and
// stored losslessly; code lines too wide for the page are wrapped. On
// failure returns false and says why in error.
bool writeManualPdf(const QString &htmlPath, const QString &pdfPath, QString *error);

} // namespace corvane
