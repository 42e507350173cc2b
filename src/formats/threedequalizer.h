// 3D Equalizer v4 point tracks: the track count, then per track its name,
// colour, frame count and "frame x y" lines.
#pragma once

#include "trackset.h"
#include "writecontext.h"

namespace corvane {

TrackSet readThreeDEv4(const QString &path);
TrackSet readThreeDEv4Bytes(const QByteArray &data);
// A track count, then at least one whole track of that layout.
bool looksLikeThreeDEv4(const QByteArray &data);
extern const WriterSteps threeDEv4Writer;

} // namespace corvane
