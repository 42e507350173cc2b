// 3D Equalizer v4 point tracks: the track count, then per track its name,
// colour, frame count and "frame x y" lines.
#pragma once

#include "families.h"

namespace corvane {

ReadResult readThreeDEv4(const QByteArray &data, const QString &fileName = QString());
// A track count, then the start of a track of that layout.
bool looksLikeThreeDEv4(const QByteArray &data);

} // namespace corvane
