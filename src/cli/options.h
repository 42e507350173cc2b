// SPDX-License-Identifier: Apache-2.0
// corvane-convert's options: their declaration (what --help and the man page
// show) and the checking of their values into the conversion's options.
#pragma once

#include "converter.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <optional>

namespace corvane {

struct ConverterOptions
{
    ConverterOptions();
    QCommandLineOption to, from, output, plate, preset, par, firstFrame, conventions, append,
        listFormats, info, json, strict, camera, force, jobs, progress, quiet, corners, man;
    // The track operations, run in the order the command line gives them.
    QList<QCommandLineOption> operations;
    // In the order --help lists them.
    QList<QCommandLineOption> list() const;
};

// The options' values made into a conversion's options, or the usage error
// that names the option and its rule.
struct CheckedOptions
{
    ConvertOptions convert;
    QString error;
};
// --from and --camera, which --info takes too.
QString checkSource(const QCommandLineParser &parser, const ConverterOptions &options,
                    ConvertOptions &out);
CheckedOptions checkConversion(const QCommandLineParser &parser, const ConverterOptions &options);

// The arguments with a bare --fill-gaps (whose value may be left out) given
// its default value, so that the parser does not take the next argument.
QStringList withOptionalValues(const QStringList &arguments);

} // namespace corvane
