// SPDX-License-Identifier: Apache-2.0
// Shared by the benchmark's stages: timing and the generated input.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Runs work and prints "<name> <seconds> s <peak-rss-MB> MB".
void stage(const char *name, const std::function<void()> &work);
// The wall seconds of the last run of a stage (0 when it has not run).
double stageSeconds(const char *name);

// A 3DE v4 file of `tracks` tracks sharing the rows evenly, frames from 1.
QByteArray generateThreeDEv4(int rows, int tracks);

// The save's stages: the rows as one file and as 1,000 per-track files,
// new and over the files saved before, with the ratio of the two.
void runSaveStages(int rows, const QString &folder);

// The window's stages on the generated file at source: import, Apply, sort
// and Save, through the real main window (offscreen).
void runWindowStages(const QString &source, const QString &folder);
