// SPDX-License-Identifier: Apache-2.0
// Nuke RotoPaint shapes (.nk).
#pragma once

#include "formats/kit/linesource.h"

#include "formats/families.h"

namespace corvane {

ReadResult readNukeRotoPaint(const QByteArray &data, const QString &fileName = QString());
// The same, line by line.
ReadResult readNukeRotoPaintLines(LineSource &lines, const QString &fileName);
bool looksLikeNukeRotoPaint(const QByteArray &data);
extern const WriterSteps nukeRotoPaintWriter;

} // namespace corvane
