// SPDX-License-Identifier: Apache-2.0
#include "options.h"

#include "formats/registry.h"

#include <algorithm>

namespace corvane {

ConverterOptions::ConverterOptions()
    : to(QStringLiteral("to"), QStringLiteral("Target format."), QStringLiteral("FORMAT")),
      from(QStringLiteral("from"),
           QStringLiteral("Source format (default: detected from the content)."),
           QStringLiteral("FORMAT")),
      output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
             QStringLiteral(
                 "Output file (default: the input's name with the target's extension, "
                 "in the current folder); a folder when several inputs are converted one by one."),
             QStringLiteral("OUTPUT")),
      plate(QStringLiteral("plate"),
            QStringLiteral("Plate resolution (default: what the file states)."),
            QStringLiteral("WxH")),
      preset(QStringLiteral("preset"),
             QStringLiteral("Predefined setting: %1 (default: default).")
                 .arg(presetNames().join(QStringLiteral(", "))),
             QStringLiteral("NAME"), QStringLiteral("default")),
      par(QStringLiteral("par"), QStringLiteral("Pixel aspect ratio (default: 1.0)."),
          QStringLiteral("RATIO"), QStringLiteral("1.0")),
      firstFrame(QStringLiteral("first-frame"),
                 QStringLiteral("Export first frame (default: the import's first frame, moved "
                                "between the programs' frame bases under program conventions)."),
                 QStringLiteral("N")),
      conventions(QStringLiteral("conventions"),
                  QStringLiteral("program: follow each program's pixel centres and frame "
                                 "numbering (default); file: convert by the files' coordinate "
                                 "rules alone."),
                  QStringLiteral("KIND"), QStringLiteral("program")),
      append(QStringLiteral("append"),
             QStringLiteral("Add every further INPUT to the first one's list, into one OUTPUT.")),
      listFormats(QStringLiteral("list-formats"), QStringLiteral("List every format and exit.")),
      info(QStringLiteral("info"),
           QStringLiteral("Describe each INPUT: format, tracks, rows, frames, plate.")),
      json(QStringLiteral("json"),
           QStringLiteral("Print one JSON document on standard output: what --info found, what "
                          "a conversion read and wrote, or the error (schema in the manual).")),
      strict(QStringLiteral("strict"),
             QStringLiteral("Fail (exit 2, nothing written) when a reading leaves something out "
                            "or changes it: a curve it cannot read, a key it passes, a node it "
                            "skips.")),
      camera(QStringLiteral("camera"),
             QStringLiteral("The cameras of a stereo shot to take: primary, secondary or all "
                            "(default: all; the secondary's tracks are NAME_Secondary)."),
             QStringLiteral("WHICH"), QStringLiteral("all")),
      force(QStringLiteral("force"),
            QStringLiteral("Replace output files that are write-protected and belong to another "
                           "user.")),
      corners(QStringLiteral("corners"),
              QStringLiteral("A corner pin's tracks (ae-cornerpin): the upper-left, upper-right, "
                             "lower-left and lower-right corners' track names, by commas "
                             "(default: the four tracks of a table of four, in their order)."),
              QStringLiteral("UL,UR,LL,LR")),
      man(QStringLiteral("man-page"), QStringLiteral("Print the man page (troff) and exit."))
{
    man.setFlags(QCommandLineOption::HiddenFromHelp);
}

QList<QCommandLineOption> ConverterOptions::list() const
{
    return {to,          from, output, plate,  preset, par,   firstFrame, conventions, append,
            listFormats, info, json,   strict, camera, force, corners,    man};
}

QString checkSource(const QCommandLineParser &parser, const ConverterOptions &options,
                    ConvertOptions &out)
{
    if (parser.isSet(options.from)) {
        out.from = formatByIdOrFilter(parser.value(options.from));
        if (!out.from)
            return QStringLiteral("--from: unknown format \"%1\" (see --list-formats).")
                .arg(parser.value(options.from));
    }
    const std::optional<Camera> camera = parseCamera(parser.value(options.camera));
    if (!camera)
        return QStringLiteral("--camera: \"%1\" is not primary, secondary or all.")
            .arg(parser.value(options.camera));
    out.camera = *camera;
    out.strict = parser.isSet(options.strict);
    out.inputs = parser.positionalArguments();
    return QString();
}

namespace {

// The settings' values: plate, preset, aspect, first frame, conventions.
QString checkSettings(const QCommandLineParser &parser, const ConverterOptions &options,
                      ConvertOptions &out)
{
    if (parser.isSet(options.plate)) {
        out.plate = parsePlate(parser.value(options.plate));
        if (!out.plate)
            return QStringLiteral("--plate: \"%1\" is not WIDTHxHEIGHT with positive whole "
                                  "numbers, such as 1920x1080.")
                .arg(parser.value(options.plate));
    }
    const std::optional<int> preset = parsePreset(parser.value(options.preset));
    if (!preset)
        return QStringLiteral("--preset: \"%1\" is not one of %2.")
            .arg(parser.value(options.preset), presetNames().join(QStringLiteral(", ")));
    out.preset = *preset;
    bool ok = false;
    const double ratio = parser.value(options.par).toDouble(&ok);
    if (!ok || ratio <= 0 || ratio > 100)
        return QStringLiteral("--par: \"%1\" is not a ratio between 0 and 100.")
            .arg(parser.value(options.par));
    out.pixelAspect = parser.value(options.par);
    if (parser.isSet(options.firstFrame)) {
        const int frame = parser.value(options.firstFrame).toInt(&ok);
        if (!ok || frame < -999999 || frame > 999999)
            return QStringLiteral("--first-frame: \"%1\" is not a whole number.")
                .arg(parser.value(options.firstFrame));
        out.firstFrame = frame;
    }
    const QString kind = parser.value(options.conventions).toLower();
    if (kind != QLatin1String("program") && kind != QLatin1String("file"))
        return QStringLiteral("--conventions: \"%1\" is not program or file.")
            .arg(parser.value(options.conventions));
    out.programConventions = kind == QLatin1String("program");
    return QString();
}

} // namespace

CheckedOptions checkConversion(const QCommandLineParser &parser, const ConverterOptions &options)
{
    CheckedOptions checked;
    ConvertOptions &out = checked.convert;
    checked.error = checkSource(parser, options, out);
    if (!checked.error.isEmpty()) return checked;
    if (!parser.isSet(options.to)) {
        checked.error = QStringLiteral("no target format: give --to FORMAT (see --list-formats).");
        return checked;
    }
    out.target = formatByIdOrFilter(parser.value(options.to));
    if (!out.target) {
        checked.error = QStringLiteral("--to: unknown format \"%1\" (see --list-formats).")
                            .arg(parser.value(options.to));
        return checked;
    }
    if (out.inputs.isEmpty()) {
        checked.error = QStringLiteral("no INPUT file given.");
        return checked;
    }
    out.output = parser.value(options.output);
    out.append = parser.isSet(options.append);
    out.force = parser.isSet(options.force);
    if (parser.isSet(options.corners)) {
        out.corners = parser.value(options.corners).split(QLatin1Char(','));
        if (qstrcmp(out.target->id, "ae-cornerpin") != 0) {
            checked.error = QStringLiteral("--corners names a corner pin's tracks: it goes with "
                                           "--to ae-cornerpin.");
            return checked;
        }
        if (out.corners.size() != 4 ||
            std::any_of(out.corners.begin(), out.corners.end(),
                        [](const QString &name) { return name.isEmpty(); })) {
            checked.error = QStringLiteral("--corners: \"%1\" is not four track names by "
                                           "commas (upper left, upper right, lower left, lower "
                                           "right).")
                                .arg(parser.value(options.corners));
            return checked;
        }
    }
    checked.error = checkSettings(parser, options, out);
    return checked;
}

} // namespace corvane
