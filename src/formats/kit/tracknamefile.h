// SPDX-License-Identifier: Apache-2.0
// Files of "TrackName" blocks, as Nuke's CameraTracker and Shake's tracker
// write them: per track a "TrackName" line, the heading "Frame X Y
// Correlation" and one sample line per frame ("12.00  x  y  correlation").
#pragma once

#include "formats/trackset.h"
#include "rowstream.h"

#include <QByteArray>

namespace corvane {

enum class TrackNames { AsWritten, NameRule };

// Every "TrackName" line starts a track named after the rest of that line.
ReadResult readTrackNameBlocks(const QByteArray &data, TrackNames names);
// The same in pieces (see rowstream.h).
Streamed streamTrackNameBlocks(LineSource &lines, RowStream &out, TrackNames names);

// A "TrackName" line, and samples (or a sample line for the reader to refuse).
bool hasTrackNameBlocks(const QByteArray &data);

// What the sample lines tell of the program that wrote them: Nuke writes
// fixed columns without a blank at the end of a line; Shake ends every
// sample line with a blank and writes the tracker's correlation. A file
// that shows neither could be either.
enum class TrackNameWriter { Unknown, Nuke, Shake };
TrackNameWriter trackNameWriter(const QByteArray &data);
// How many tracks the file holds: a CameraTracker file holds all of a
// solve's tracks, a Shake tracker file (as Shake and Corvane write it) one.
qsizetype trackNameBlockCount(const QByteArray &data);

} // namespace corvane
