// SPDX-License-Identifier: Apache-2.0
// Nuke point tracks: the Tracker's "frame x y" files (one track per file)
// and the CameraTracker's fixed-column file of many tracks.
#pragma once

#include "formats/families.h"

namespace corvane {

// The track is named after the file's base name.
ReadResult readNukeTracker(const QByteArray &data, const QString &fileName);
ReadResult readNukeCameraTracker(const QByteArray &data, const QString &fileName = QString());

// Every line a "frame x y" or "x y" sample, and at least one of them.
bool looksLikeNukeTracker(const QByteArray &data);
// A "TrackName" line and at least one sample.
bool looksLikeNukeCameraTracker(const QByteArray &data);

} // namespace corvane
