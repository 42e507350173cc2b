// SPDX-License-Identifier: Apache-2.0
// The converter's work: the window's steps (import, Step 3 settings, Apply,
// Save Data) through the same core functions, driven by options.
#pragma once

#include "export/exporter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace corvane {

struct Format;

enum ExitCode { Done = 0, UsageError = 1, InputError = 2, OutputError = 3, SettingsMissing = 4 };

struct ConvertOptions
{
    const Format *target = nullptr;
    const Format *from = nullptr; // null: detected from each input's content
    QString output;               // empty: each input's name with the target's extension
    std::optional<std::pair<int, int>> plate;
    int preset = 0; // index of the predefined setting
    QString pixelAspect = QStringLiteral("1.0");
    std::optional<int> firstFrame;
    bool programConventions = true; // --conventions program (else file)
    bool append = false;
    QStringList inputs;
};

struct Outcome
{
    ExitCode code = Done;
    QString message;             // what went wrong, for stderr
    QStringList written;         // files written
    QList<TrackFile> trackFiles; // per-track saves: which track went to which file
    QStringList notes;           // what the targets could not hold
};

using Progress = std::function<void(const QString &step)>;

// The format of an input: --from, or the one format its content fits.
const Format *inputFormat(const QString &path, const Format *from, Outcome &outcome);

// Reads, converts and writes. Writes nothing when anything fails.
Outcome convert(const ConvertOptions &options, const Progress &progress = {});

// The lines of --list-formats and --info.
QStringList formatList();
Outcome describe(const QString &path, const Format *from, QStringList &lines);

// "1920x1080" as a plate; "default", "bottom-left", … as a predefined setting index.
std::optional<std::pair<int, int>> parsePlate(const QString &text);
std::optional<int> parsePreset(const QString &text);
QStringList presetNames();

} // namespace corvane
