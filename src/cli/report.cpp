// SPDX-License-Identifier: Apache-2.0
#include "report.h"

#include "import/errorkind.h"

#include "formats/format.h"
#include "formats/registry.h"

#include <QJsonArray>

namespace corvane {

namespace {

QJsonArray strings(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QJsonObject header(const char *mode, ExitCode code)
{
    return {{QStringLiteral("program"), QStringLiteral("corvane-convert")},
            {QStringLiteral("version"), QStringLiteral(CORVANE_VERSION)},
            {QStringLiteral("schema"), reportSchema},
            {QStringLiteral("mode"), QLatin1String(mode)},
            {QStringLiteral("ok"), code == Done},
            {QStringLiteral("exitCode"), int(code)}};
}

QJsonValue formatValue(const Format *format)
{
    if (!format) return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("id"), QLatin1String(format->id)},
                       {QStringLiteral("name"), QLatin1String(format->name)}};
}

QJsonValue pairValue(const std::optional<std::pair<int, int>> &pair, const char *first,
                     const char *second)
{
    if (!pair) return QJsonValue::Null;
    return QJsonObject{{QLatin1String(first), pair->first}, {QLatin1String(second), pair->second}};
}

// The error of a run, with the file and line it is about where they are known.
QJsonValue errorValue(const Outcome &outcome)
{
    if (outcome.code == Done) return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("message"), outcome.message},
        {QStringLiteral("file"),
         outcome.errorFile.isEmpty() ? QJsonValue(QJsonValue::Null) : outcome.errorFile},
        {QStringLiteral("line"),
         outcome.errorLine > 0 ? QJsonValue(outcome.errorLine) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("exitCode"), int(outcome.code)},
        {QStringLiteral("kind"), QLatin1String(errorKindName(outcomeKind(outcome)))}};
}

QJsonObject inputValue(const InputReport &input)
{
    QJsonArray candidates;
    for (const Format *format : input.candidates)
        if (format != input.format) candidates.append(QLatin1String(format->id));
    return {{QStringLiteral("path"), input.path},
            {QStringLiteral("format"), formatValue(input.format)},
            {QStringLiteral("otherCandidates"), candidates},
            {QStringLiteral("tracks"), input.tracks},
            {QStringLiteral("rows"), input.rows},
            {QStringLiteral("frames"), pairValue(input.frames, "first", "last")},
            {QStringLiteral("plate"), pairValue(input.plate, "width", "height")},
            {QStringLiteral("notes"), strings(input.notes)},
            {QStringLiteral("left_out"),
             QJsonObject{{QStringLiteral("tracks"), input.leftOut.tracks},
                         {QStringLiteral("shapes"), input.leftOut.shapes},
                         {QStringLiteral("rows"), input.leftOut.rows},
                         {QStringLiteral("keys"), input.leftOut.keys},
                         {QStringLiteral("changed"), input.leftOut.changed}}}};
}

QJsonObject outputValue(const OutputReport &output, bool programConventions)
{
    QJsonArray files;
    for (const QString &path : output.written) {
        QJsonObject file{{QStringLiteral("path"), path}};
        for (const TrackFile &track : output.trackFiles)
            if (track.path == path) file.insert(QStringLiteral("track"), track.track);
        files.append(file);
    }
    QJsonArray renamed;
    for (const RenamedTrack &track : output.renamed)
        renamed.append(QJsonObject{{QStringLiteral("track"), track.from},
                                   {QStringLiteral("writtenAs"), track.to}});
    return {{QStringLiteral("inputs"), strings(output.inputs)},
            {QStringLiteral("output"), output.path},
            {QStringLiteral("files"), files},
            {QStringLiteral("rows"), output.rows},
            {QStringLiteral("tracks"), output.tracks},
            {QStringLiteral("renamed"), renamed},
            {QStringLiteral("operations"), strings(output.operations)},
            {QStringLiteral("conventions"),
             QJsonObject{{QStringLiteral("kind"),
                          programConventions ? QStringLiteral("program") : QStringLiteral("file")},
                         {QStringLiteral("exportFirstFrame"),
                          output.exportFirst.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                       : QJsonValue(output.exportFirst.toInt())},
                         {QStringLiteral("notes"), strings(output.conventionNotes)}}},
            {QStringLiteral("notes"), strings(output.notes)}};
}

} // namespace

QJsonObject formatsReport()
{
    QJsonObject report = header("list-formats", Done);
    QJsonArray list;
    for (const Format &f : formats())
        list.append(QJsonObject{{QStringLiteral("id"), QLatin1String(f.id)},
                                {QStringLiteral("name"), QLatin1String(f.name)},
                                {QStringLiteral("extensions"), strings(f.extensions())},
                                {QStringLiteral("read"), bool(f.read)},
                                {QStringLiteral("write"), bool(f.writer)},
                                {QStringLiteral("kind"),
                                 f.shapes ? QStringLiteral("shapes") : QStringLiteral("points")}});
    report.insert(QStringLiteral("formats"), list);
    report.insert(QStringLiteral("error"), QJsonValue::Null);
    return report;
}

QJsonObject infoReport(const QList<InputReport> &inputs, const QList<Outcome> &outcomes,
                       ExitCode code)
{
    QJsonObject report = header("info", code);
    QJsonArray list;
    for (int i = 0; i < inputs.size(); ++i) {
        QJsonObject input = inputValue(inputs.at(i));
        input.insert(QStringLiteral("error"), errorValue(outcomes.at(i)));
        list.append(input);
    }
    report.insert(QStringLiteral("inputs"), list);
    // The run's error: the first input's that could not be read.
    QJsonValue error = QJsonValue::Null;
    for (const Outcome &outcome : outcomes)
        if (outcome.code != Done) {
            error = errorValue(outcome);
            break;
        }
    report.insert(QStringLiteral("error"), error);
    return report;
}

QJsonObject convertReport(const ConvertOptions &options, const Outcome &outcome)
{
    QJsonObject report = header("convert", outcome.code);
    report.insert(QStringLiteral("target"), formatValue(options.target));
    QJsonArray inputs, outputs;
    for (const InputReport &input : outcome.inputs)
        inputs.append(inputValue(input));
    for (const OutputReport &output : outcome.outputs)
        outputs.append(outputValue(output, options.programConventions));
    report.insert(QStringLiteral("inputs"), inputs);
    report.insert(QStringLiteral("outputs"), outputs);
    report.insert(QStringLiteral("written"), strings(outcome.written));
    report.insert(QStringLiteral("error"), errorValue(outcome));
    return report;
}

QJsonObject failureReport(ExitCode code, const QString &message)
{
    Outcome outcome;
    outcome.code = code;
    outcome.message = message;
    QJsonObject report = header("usage", code);
    report.insert(QStringLiteral("error"), errorValue(outcome));
    return report;
}

} // namespace corvane
