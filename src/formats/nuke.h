// Nuke point tracks: the Tracker's "frame x y" files (one track per file)
// and the CameraTracker's fixed-column file of many tracks.
#pragma once

#include "trackset.h"
#include "writecontext.h"

namespace corvane {

TrackSet readNukeTracker(const QString &path);
TrackSet readNukeTrackerBytes(const QByteArray &data, const QString &trackName);
TrackSet readNukeCameraTracker(const QString &path);
TrackSet readNukeCameraTrackerBytes(const QByteArray &data);

// Every line a "frame x y" or "x y" sample, and at least one of them.
bool looksLikeNukeTracker(const QByteArray &data);
// A "TrackName" line and at least one sample.
bool looksLikeNukeCameraTracker(const QByteArray &data);

extern const WriterSteps nukeTrackerWriter;
extern const WriterSteps nukeCameraTrackerWriter;

} // namespace corvane
