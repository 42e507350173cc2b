// SPDX-License-Identifier: Apache-2.0
// The converter's results as one JSON document a run, for pipelines: what
// --info found, what a conversion read and wrote, or why it failed.
#pragma once

#include "converter.h"

#include <QJsonObject>

namespace corvane {

// Bumped when a field changes meaning or goes; new fields may join freely.
constexpr int reportSchema = 1;

QJsonObject formatsReport();
QJsonObject infoReport(const QList<InputReport> &inputs, const QList<Outcome> &outcomes,
                       ExitCode code);
QJsonObject convertReport(const ConvertOptions &options, const Outcome &outcome);
// A run stopped before it read anything: a usage error.
QJsonObject failureReport(ExitCode code, const QString &message);

} // namespace corvane
