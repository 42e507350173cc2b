// SPDX-License-Identifier: Apache-2.0
// Shared by the benchmark's stages: timing and the generated input.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>

// Runs work and prints "<name> <seconds> s <peak-rss-MB> MB".
void stage(const char *name, const std::function<void()> &work);
// A memory figure of /proc/self/status ("VmHWM:", "VmRSS:") in megabytes;
// -1 where the system has none.
long statusMegabytes(const char *field);
// The wall seconds of the last run of a stage (0 when it has not run).
double stageSeconds(const char *name);

// A 3DE v4 file of `tracks` tracks sharing the rows evenly, frames from 1.
QByteArray generateThreeDEv4(int rows, int tracks);
// The same file handed over in pieces of a few megabytes, for any size.
void generateThreeDEv4(qint64 rows, int tracks, const std::function<void(QByteArray &)> &take);

// Converts input into the format of id `to` as corvane-convert does, with
// the plate given (0 by 0: the one the input states).
void convertFile(const QString &input, const char *to, const QString &output,
                 std::pair<int, int> plate);

// Streamed conversions (a 3DE v4 file read, converted and written in
// pieces) on `rows` generated points in tracks of 2,000 frames, in folder.
void runStreamStages(const QString &folder, qint64 rows);

// Reads a generated Flame setup of about 342 MB ("read-flame-342mb"); its
// speed is told beside that of reading threeDESource (read-3de4); then
// converted to 3DE v4 as the converter streams it ("stream-flame-342mb-3de4").
void runFlameStages(const QString &folder, const QString &threeDESource);

// The save's stages: the rows as one file and as 1,000 per-track files,
// new and over the files saved before, with the ratio of the two.
void runSaveStages(int rows, const QString &folder);

// The window's stages on the generated file at source: import, Apply, sort
// and Save, through the real main window (offscreen).
void runWindowStages(const QString &source, const QString &folder);
