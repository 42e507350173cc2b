// SPDX-License-Identifier: Apache-2.0
// The man page of corvane-convert, written from the same option list that
// --help prints, so that the two never drift apart.
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

namespace corvane {

extern const char *const converterSummary;    // what the program does
extern const char *const converterExitStatus; // its exit codes

QString manPage(const QList<QCommandLineOption> &options, const QString &version);

} // namespace corvane
