// SPDX-License-Identifier: Apache-2.0
// 3D Equalizer point tracks. v4: the track count, then per track its name,
// colour, frame count and "frame x y" lines.
#pragma once

#include "formats/families.h"
#include "formats/kit/rowstream.h"

namespace corvane {

ReadResult readThreeDEv4(const QByteArray &data, const QString &fileName = QString());
// A track count, then the start of a track of that layout.
bool looksLikeThreeDEv4(const QByteArray &data);
// The same file's rows in pieces, for a file of the plain layout.
Streamed streamThreeDEv4(LineSource &lines, const QString &, RowStream &out);

// 3D Equalizer v3: the image size in the header, names and indented
// "frame x y" lines.
ReadResult readThreeDEv3(const QByteArray &data, const QString &fileName = QString());
bool looksLikeThreeDEv3(const QByteArray &data);
Streamed streamThreeDEv3(LineSource &lines, const QString &, RowStream &out);
extern const WriterSteps threeDEv3Writer;

} // namespace corvane
