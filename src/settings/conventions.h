// SPDX-License-Identifier: Apache-2.0
// The programs' own conventions beyond their coordinate rules: where each
// counts pixels from, and from which number it counts frames. Apply and the
// first-frame defaults follow them when program conventions are on.
#pragma once

#include "formats/format.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// The number a fixed frame base starts at; nothing for frames as written.
std::optional<int> frameBaseStart(FrameBase base);

// The export first frame for an import's first frame: moved from the
// source's frame base to the target's when both are fixed, else the same.
int movedFirstFrame(int importFirst, const Format *source, const Format *target);

// "frames from SynthEyes 0 to 3DE v4 1", when the bases move the frames.
QString frameBaseNote(const Format *source, const Format *target);

// What the pixel centres of the sources and the target move, one line each
// ("PFTrack v5 pixel centres: +0.5 px"); target null for a window of pixels.
QStringList pixelCentreNotes(const QList<const Format *> &sources, const Format *target);

} // namespace corvane
