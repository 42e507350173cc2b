// SPDX-License-Identifier: Apache-2.0
#include "options.h"

#include "edit/trackops.h"
#include "formats/registry.h"
#include "settings/platesettings.h"

#include <QFile>
#include <QHash>
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
      jobs(QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
           QStringLiteral("Convert N inputs at once (not with --append); each input all or "
                          "nothing, the outputs and the exit status as one by one. Default: "
                          "the cores."),
           QStringLiteral("N")),
      progress(QStringLiteral("progress"),
               QStringLiteral("Show the progress line also when standard error is no terminal.")),
      quiet(QStringLiteral("quiet"), QStringLiteral("No progress line, also on a terminal.")),
      corners(QStringLiteral("corners"),
              QStringLiteral("A corner pin's tracks (ae-cornerpin): the upper-left, upper-right, "
                             "lower-left and lower-right corners' track names, by commas "
                             "(default: the four tracks of a table of four, in their order)."),
              QStringLiteral("UL,UR,LL,LR")),
      man(QStringLiteral("man-page"), QStringLiteral("Print the man page (troff) and exit."))
{
    man.setFlags(QCommandLineOption::HiddenFromHelp);
    auto op = [this](const char *name, const char *description, const char *value = nullptr) {
        operations << (value ? QCommandLineOption(QLatin1String(name), QLatin1String(description),
                                                  QLatin1String(value))
                             : QCommandLineOption(QLatin1String(name), QLatin1String(description)));
    };
    op("rename",
       "Track operation: rename the tracks whose names match the regular expression PATTERN, "
       "the match replaced by REPLACEMENT (\\1 for a captured group).",
       "PATTERN=REPLACEMENT");
    op("rename-file", "Track operation: rename by a list, an old and a new name per line.", "FILE");
    op("prefix",
       "Track operation: put TEXT in front of every track's name (after a shape's "
       "name for its vertices).",
       "TEXT");
    op("suffix", "Track operation: put TEXT after every track's name.", "TEXT");
    op("slip", "Track operation: move every key by N frames.", "N");
    op("start-at", "Track operation: move every key so that the earliest lands on frame F.", "F");
    op("trim",
       "Track operation: remove the keys before FIRST and after LAST (a track left "
       "empty goes).",
       "FIRST..LAST");
    op("drop-before", "Track operation: remove the keys before frame F.", "F");
    op("shift",
       "Track operation: move every point by DX, DY pixels (X right, Y down the "
       "plate).",
       "DX,DY");
    op("scale", "Track operation: scale points and plate by SX and SY (SY: SX when left out).",
       "SX[,SY]");
    op("reformat",
       "Track operation: take points and plate to a new resolution, each axis by "
       "its own factor.",
       "WxH");
    op("flip", "Track operation: mirror the points left-right within the plate.");
    op("flop", "Track operation: mirror the points top-bottom within the plate.");
    op("crop",
       "Track operation: remove L, R, T, B pixels from the plate's sides (negative "
       "adds); points keep their place in the picture.",
       "L,R,T,B");
    op("pad",
       "Track operation: add L, R, T, B fractions of the plate to its sides (the nearest "
       "whole pixels).",
       "L,R,T,B");
    op("min-keys", "Track operation: remove the tracks of fewer than N keys.", "N");
    op("fill-gaps",
       "Track operation: give each missing frame inside a track a key on a straight "
       "line between the keys around it; --fill-gaps=MAX fills gaps of up to MAX "
       "missing frames, --fill-gaps alone every gap.",
       "MAX");
    op("lens-distort", "Track operation: add the SynthEyes radial lens distortion K, KCUBE.",
       "K,KCUBE");
    op("lens-undistort", "Track operation: remove the SynthEyes radial lens distortion K, KCUBE.",
       "K,KCUBE");
}

QList<QCommandLineOption> ConverterOptions::list() const
{
    return QList<QCommandLineOption>{to,   from,       output,      plate,  preset,
                                     par,  firstFrame, conventions, append, listFormats,
                                     info, json,       strict,      camera, force,
                                     jobs, progress,   quiet,       corners} +
           operations + QList<QCommandLineOption>{man};
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
    if (!ok || !(ratio > 0) || ratio > PixelAspectLimit)
        return QStringLiteral("--par: \"%1\" is not a ratio above 0 and up to %2.")
            .arg(parser.value(options.par))
            .arg(PixelAspectLimit);
    out.pixelAspect = parser.value(options.par);
    if (parser.isSet(options.firstFrame)) {
        const int frame = parser.value(options.firstFrame).toInt(&ok);
        if (!ok || frame < -FirstFrameLimit || frame > FirstFrameLimit)
            return QStringLiteral("--first-frame: \"%1\" is not a whole number from %2 to %3.")
                .arg(parser.value(options.firstFrame))
                .arg(-FirstFrameLimit)
                .arg(FirstFrameLimit);
        out.firstFrame = frame;
    }
    const QString kind = parser.value(options.conventions).toLower();
    if (kind != QLatin1String("program") && kind != QLatin1String("file"))
        return QStringLiteral("--conventions: \"%1\" is not program or file.")
            .arg(parser.value(options.conventions));
    out.programConventions = kind == QLatin1String("program");
    return QString();
}

// The track operations in the command line's order.
QString checkOperations(const QCommandLineParser &parser, const ConverterOptions &options,
                        ConvertOptions &out)
{
    QHash<QString, int> taken; // values of each option used so far
    for (const QString &name : parser.optionNames()) {
        const QCommandLineOption *option = nullptr;
        for (const QCommandLineOption &o : options.operations)
            if (o.names().contains(name)) option = &o;
        if (!option) continue;
        QString text;
        if (!option->valueName().isEmpty()) {
            const QStringList values = parser.values(*option);
            const int i = taken[name]++;
            text = values.value(i);
        }
        QString source;
        if (name == QLatin1String("rename-file")) {
            source = text;
            QFile file(text);
            if (!file.open(QIODevice::ReadOnly))
                return QStringLiteral("--rename-file: cannot read %1: %2.")
                    .arg(text, file.errorString());
            text = QString::fromUtf8(file.readAll());
        }
        if (name == QLatin1String("fill-gaps") && text == QLatin1String("all")) text.clear();
        const ParsedOperation parsed = parseTrackOperation(name, text, source);
        if (!parsed.operation) return parsed.error;
        out.operations.push_back(*parsed.operation);
    }
    return QString();
}

} // namespace

QStringList withOptionalValues(const QStringList &arguments)
{
    QStringList out = arguments;
    for (int i = 1; i < out.size(); ++i) {
        if (out.at(i) == QLatin1String("--")) break;
        if (out.at(i) == QLatin1String("--fill-gaps")) out[i] = QStringLiteral("--fill-gaps=all");
    }
    return out;
}

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
    if (parser.isSet(options.jobs)) {
        bool whole = false;
        out.jobs = parser.value(options.jobs).toInt(&whole);
        if (!whole || out.jobs < 1 || out.jobs > 256) {
            checked.error = QStringLiteral("--jobs: \"%1\" is not a whole number from 1 to 256.")
                                .arg(parser.value(options.jobs));
            return checked;
        }
    }
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
    if (checked.error.isEmpty()) checked.error = checkOperations(parser, options, out);
    return checked;
}

} // namespace corvane
