// SPDX-License-Identifier: Apache-2.0
#include "converter.h"

#include "export/exporter.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/conversion.h"
#include "settings/platesettings.h"
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace corvane {

namespace {

Outcome failure(ExitCode code, const QString &message)
{
    Outcome o;
    o.code = code;
    o.message = message;
    return o;
}

QString candidateList(const QList<const Format *> &formats)
{
    QStringList ids;
    for (const Format *f : formats)
        ids << QLatin1String(f->id);
    return ids.join(QStringLiteral(", "));
}

// One table: the inputs imported as the window imports them, then Apply and Save.
struct Job
{
    QStringList inputs;
    QString output;
};

bool sameFile(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

QStringList presetNames()
{
    return {QStringLiteral("default"), QStringLiteral("top-left"),   QStringLiteral("bottom-left"),
            QStringLiteral("x2"),      QStringLiteral("x4"),         QStringLiteral("half"),
            QStringLiteral("quarter"), QStringLiteral("normalized"), QStringLiteral("center")};
}

std::optional<int> parsePreset(const QString &text)
{
    int index = int(presetNames().indexOf(text.toLower()));
    if (index < 0) return std::nullopt;
    return index;
}

std::optional<std::pair<int, int>> parsePlate(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,6})\\s*[xX*]\\s*(\\d{1,6})\\s*$"));
    QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch()) return std::nullopt;
    int w = m.captured(1).toInt(), h = m.captured(2).toInt();
    if (w <= 0 || h <= 0) return std::nullopt;
    return std::make_pair(w, h);
}

const Format *inputFormat(const QString &path, const Format *from, Outcome &outcome)
{
    const QString problem = inputFileProblem(path);
    if (!problem.isEmpty()) {
        outcome = failure(InputError, problem);
        return nullptr;
    }
    if (from) return from;
    Detection detection = detectFormat(path);
    if (!detection.error.isEmpty()) {
        outcome = failure(InputError, detection.error);
        return nullptr;
    }
    if (detection.format) {
        if (!detection.choice.isEmpty())
            outcome.notes << QStringLiteral("%1: %2").arg(path, detection.choice);
        return detection.format;
    }
    if (detection.candidates.isEmpty()) {
        outcome = failure(InputError, notATrackFileMessage(path, detection) +
                                          QStringLiteral(" Give --from FORMAT if you know its "
                                                         "format (see --list-formats)."));
    } else {
        outcome = failure(InputError,
                          QStringLiteral("%1: fits more than one format (%2), and they read it "
                                         "differently; give --from FORMAT.")
                              .arg(path, candidateList(detection.candidates)));
    }
    return nullptr;
}

namespace {

// Imports one input into the table as the window's Step 1 does.
bool importInput(TrackTable &table, PlateSettings &settings, const QString &path,
                 const Format *from, bool append, Outcome &outcome)
{
    const Format *format = inputFormat(path, from, outcome);
    if (!format) return false;
    ImportResult result = importFile(table, settings, path, *format,
                                     append ? ImportMode::Append : ImportMode::NewList);
    if (!result.ok()) outcome = failure(InputError, result.error);
    outcome.notes += result.notes;
    return result.ok();
}

// Step 3 and Apply with the options on top of what the imports set.
bool applyOptions(TrackTable &table, PlateSettings &settings, const ConvertOptions &options,
                  Outcome &outcome)
{
    if (options.plate) {
        settings.setPlateWidth(QString::number(options.plate->first));
        settings.setPlateHeight(QString::number(options.plate->second));
    }
    settings.pixelAspect = options.pixelAspect;
    settings.programConventions = options.programConventions;
    const QString target = QLatin1String(options.target->treeExportFilter);
    if (options.firstFrame) {
        settings.exportFirst = QString::number(*options.firstFrame);
        settings.exportFirstTyped = true;
    }
    settings.defaultExportFirst(target);

    if (toInt(settings.plateWidth) <= 0 || toInt(settings.plateHeight) <= 0) {
        // Without a plate only a conversion that never looks at it can run:
        // pixels to pixels, default window. It runs on a unit plate.
        bool pixelsOnly = options.preset == 0 && toDouble(settings.pixelAspect) == 1.0 &&
                          options.target->target == TargetRule::None;
        for (int r = 0; pixelsOnly && r < table.rowCount(); ++r)
            pixelsOnly = sourceRuleOf(table.sourceFormat(r)) == SourceRule::None;
        if (!pixelsOnly) {
            outcome =
                failure(SettingsMissing, QStringLiteral("the input does not state its plate size; "
                                                        "give it with --plate WIDTHxHEIGHT."));
            return false;
        }
        settings.setPlateWidth(QStringLiteral("1"));
        settings.setPlateHeight(QStringLiteral("1"));
    }
    settings.choosePredefined(options.preset);
    ApplyResult result = applySettings(table, applyParams(settings, target));
    outcome.notes += result.notes;
    if (!result.error.isEmpty()) {
        outcome = failure(SettingsMissing, result.error);
        return false;
    }
    if (result.shapeNameProblem) {
        outcome = failure(
            InputError,
            QString::fromLatin1(shapeNameMessage).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return false;
    }
    return true;
}

} // namespace

Outcome convert(const ConvertOptions &options, const Progress &progress)
{
    if (!options.target->writer)
        return failure(UsageError,
                       QStringLiteral("writing %1 files is not available yet; choose another --to.")
                           .arg(QLatin1String(options.target->name)));

    // The jobs: all inputs into one table, or one table per input.
    QList<Job> jobs;
    const QString extension = options.target->fileExtension();
    auto defaultOutput = [&](const QString &input) {
        return QDir::current().filePath(QFileInfo(input).completeBaseName() + QLatin1Char('.') +
                                        extension);
    };
    if (options.append || options.inputs.size() == 1) {
        jobs.append({options.inputs, options.output.isEmpty()
                                         ? defaultOutput(options.inputs.first())
                                         : options.output});
    } else {
        QFileInfo outputInfo(options.output);
        if (!options.output.isEmpty() && !outputInfo.isDir())
            return failure(
                UsageError,
                QStringLiteral("-o names one file, but %1 inputs are converted one by one; "
                               "give -o an existing folder, or use --append.")
                    .arg(options.inputs.size()));
        for (const QString &input : options.inputs) {
            QString output = defaultOutput(input);
            if (!options.output.isEmpty())
                output = QDir(options.output).filePath(QFileInfo(output).fileName());
            jobs.append({{input}, output});
        }
    }
    QSet<QString> outputs;
    for (const Job &job : jobs) {
        for (const QString &input : options.inputs)
            if (sameFile(input, job.output))
                return failure(UsageError,
                               QStringLiteral("%1 would be overwritten by its own conversion; "
                                              "name the output with -o.")
                                   .arg(input));
        QString absolute = QFileInfo(job.output).absoluteFilePath();
        if (outputs.contains(absolute))
            return failure(
                UsageError,
                QStringLiteral("two inputs would both be written to %1; use -o with a folder "
                               "or rename an input.")
                    .arg(job.output));
        outputs.insert(absolute);
    }

    // Everything is read and converted before anything is written.
    struct Ready
    {
        TrackTable table;
        PlateSettings settings;
        QString output;
    };
    std::vector<Ready> ready;
    Outcome outcome;
    for (const Job &job : jobs) {
        Ready r;
        r.output = job.output;
        for (int i = 0; i < job.inputs.size(); ++i) {
            if (progress) progress(QStringLiteral("reading %1").arg(job.inputs.at(i)));
            if (!importInput(r.table, r.settings, job.inputs.at(i), options.from, i > 0, outcome))
                return outcome;
        }
        if (progress) progress(QStringLiteral("converting %1 rows").arg(r.table.rowCount()));
        if (!applyOptions(r.table, r.settings, options, outcome)) return outcome;
        Validation validation = validateForExport(r.table);
        if (!validation.ok())
            return failure(InputError,
                           QStringLiteral("%1: %2").arg(job.inputs.join(QStringLiteral(", ")),
                                                        validation.error));
        ready.push_back(std::move(r));
    }
    for (Ready &r : ready) {
        if (progress) progress(QStringLiteral("writing %1").arg(r.output));
        ExportParams params =
            exportParams(r.settings, QLatin1String(options.target->treeExportFilter), r.output);
        params.inputs = options.inputs;
        ExportResult result = exportTable(r.table, params);
        if (!result.ok()) {
            // The conversions before this one stand: say which files they wrote.
            QString message = result.error;
            if (!outcome.written.isEmpty())
                message += QStringLiteral(" (written before this failure: %1)")
                               .arg(outcome.written.join(QStringLiteral(", ")));
            Outcome failed = failure(OutputError, message);
            failed.written = outcome.written;
            return failed;
        }
        outcome.written += result.written;
        outcome.trackFiles += result.trackFiles;
        for (const QString &note : result.notes)
            outcome.notes << QStringLiteral("%1: %2").arg(r.output, note);
        for (const RenamedTrack &track : result.renamed)
            outcome.notes << QStringLiteral("%1: %2").arg(
                r.output, renamedNote(track, QLatin1String(options.target->treeExportFilter)));
    }
    return outcome;
}

QStringList formatList()
{
    QStringList lines;
    for (const Format &f : formats()) {
        QStringList abilities;
        if (f.read) abilities << QStringLiteral("read");
        if (f.writer) abilities << QStringLiteral("write");
        QStringList extensions;
        for (const QString &ext : f.extensions())
            extensions << QStringLiteral("*.") + ext;
        lines << QStringLiteral("%1  %2  %3  %4  %5")
                     .arg(QLatin1String(f.id), -18)
                     .arg(QLatin1String(f.name), -22)
                     .arg(extensions.join(QLatin1Char(' ')), -12)
                     .arg(abilities.isEmpty() ? QStringLiteral("not yet")
                                              : abilities.join(QLatin1Char('/')),
                          -10)
                     .arg(f.shapes ? QStringLiteral("shapes") : QStringLiteral("points"));
    }
    return lines;
}

Outcome describe(const QString &path, const Format *from, QStringList &lines)
{
    Outcome outcome;
    const Format *format = inputFormat(path, from, outcome);
    if (!format) return outcome;
    ReadResult read = dispatch(path, QLatin1String(format->importFilter));
    if (!read.ok()) return failure(InputError, read.error);
    const TrackSet &set = read.set;
    QSet<QString> names(set.names.runs().begin(), set.names.runs().end());
    lines << QStringLiteral("%1:").arg(path);
    lines << QStringLiteral("  format: %1 (%2)")
                 .arg(QLatin1String(format->id), QLatin1String(format->name));
    lines << QStringLiteral("  tracks: %1").arg(names.size());
    lines << QStringLiteral("  rows: %1").arg(set.count);
    if (set.count > 0) {
        auto [low, high] = std::minmax_element(set.frames.begin(), set.frames.begin() + set.count);
        lines << QStringLiteral("  frames: %1..%2").arg(*low).arg(*high);
    } else {
        lines << QStringLiteral("  frames: none");
    }
    lines << (set.plateWidth > 0 && set.plateHeight > 0
                  ? QStringLiteral("  plate: %1x%2").arg(set.plateWidth).arg(set.plateHeight)
                  : QStringLiteral("  plate: not stated"));
    for (const QString &note : std::as_const(outcome.notes))
        lines << QStringLiteral("  note: %1").arg(note);
    return outcome;
}

} // namespace corvane
