// SPDX-License-Identifier: Apache-2.0
#include "converter.h"

#include "export/savetransaction.h"

#include "export/exporter.h"
#include "export/streaming.h"
#include "formats/registry.h"
#include "import/detect.h"
#include "import/filetext.h"
#include "import/importer.h"
#include "settings/apply.h"
#include "settings/conversion.h"
#include "settings/platesettings.h"
#include "settings/trackoperations.h"
#include "table/numbers.h"
#include "table/tracktable.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace corvane {

namespace {

Outcome failure(ExitCode code, const QString &message, const QString &file = QString(),
                int line = 0)
{
    Outcome o;
    o.code = code;
    o.message = message;
    o.errorFile = file;
    o.errorLine = line;
    return o;
}

// A failure that keeps what was found and done before it.
void fail(Outcome &outcome, ExitCode code, const QString &message, const QString &file = QString(),
          int line = 0)
{
    outcome.code = code;
    outcome.message = message;
    outcome.errorFile = file;
    outcome.errorLine = line;
    outcome.errorKind.reset();
}

// The tracks among rows [first, end): runs of one name, counted once each.
int trackCount(const TrackTable &table, int first, int end)
{
    QSet<qint64> ids;
    for (int r = first; r < end; ++r)
        ids.insert(table.nameId(r));
    return int(ids.size());
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

// A job read and converted, waiting for the writes.
struct Ready
{
    TrackTable table;
    PlateSettings settings;
    OutputReport report;
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

const Format *inputFormat(const QString &path, const Format *from, Outcome &outcome,
                          QList<const Format *> *candidates)
{
    QString problem = inputFileProblem(path);
    if (problem.isEmpty()) problem = emptyFileProblem(path);
    if (!problem.isEmpty()) {
        fail(outcome, InputError, problem, path);
        return nullptr;
    }
    if (from) return from;
    Detection detection = detectFormat(path);
    if (candidates) *candidates = detection.candidates;
    if (!detection.error.isEmpty()) {
        fail(outcome, InputError, detection.error, path);
        return nullptr;
    }
    if (detection.format) {
        if (!detection.choice.isEmpty())
            outcome.notes << QStringLiteral("%1: %2").arg(path, detection.choice);
        return detection.format;
    }
    if (detection.candidates.isEmpty()) {
        fail(outcome, InputError,
             notATrackFileMessage(path, detection) +
                 QStringLiteral(" Give --from FORMAT if you know its format (see --list-formats)."),
             path);
    } else {
        fail(outcome, InputError,
             QStringLiteral("%1: fits more than one format (%2), and they read it differently; "
                            "give --from FORMAT.")
                 .arg(path, candidateList(detection.candidates)),
             path);
    }
    return nullptr;
}

namespace {

// Imports one input into the table as the window's Step 1 does.
bool importInput(TrackTable &table, PlateSettings &settings, const QString &path,
                 const ConvertOptions &options, bool append, Outcome &outcome)
{
    const Format *from = options.from;
    InputReport report;
    report.path = path;
    const int notesBefore = int(outcome.notes.size());
    report.format = inputFormat(path, from, outcome, &report.candidates);
    report.notes = outcome.notes.mid(notesBefore);
    if (!report.format) {
        outcome.inputs.append(report);
        return false;
    }
    ImportResult result = importFile(table, settings, path, *report.format,
                                     append ? ImportMode::Append : ImportMode::NewList,
                                     options.camera, options.bytesRead);
    if (!result.ok()) {
        fail(outcome, InputError, result.error, path, result.line);
        outcome.errorKind = result.kind;
    }
    const bool strictFails = result.ok() && options.strict && result.leftOut.any();
    if (strictFails)
        fail(outcome, InputError, strictMessage(result.leftOut, "--strict"), path,
             result.leftOut.firstLine);
    outcome.notes += result.notes;
    report.notes += result.notes;
    report.leftOut = result.leftOut;
    report.rows = result.range.end - result.range.first;
    report.tracks = trackCount(table, result.range.first, result.range.end);
    for (int r = result.range.first; r < result.range.end; ++r) {
        bool whole = false;
        const int frame = table.frame(r, &whole);
        if (!whole) continue;
        if (!report.frames) report.frames = std::make_pair(frame, frame);
        report.frames->first = std::min(report.frames->first, frame);
        report.frames->second = std::max(report.frames->second, frame);
    }
    outcome.inputs.append(report);
    return result.ok() && !strictFails;
}

} // namespace

namespace {

// The options' plate, aspect and conventions, before the track operations.
void takeOptionPlate(PlateSettings &settings, const ConvertOptions &options)
{
    if (options.plate) {
        settings.setPlateWidth(QString::number(options.plate->first));
        settings.setPlateHeight(QString::number(options.plate->second));
    }
    settings.pixelAspect = options.pixelAspect;
    settings.programConventions = options.programConventions;
}

// The options' first frame and preset on top; false with the failure in
// outcome. pixelsOnly: every row's source keeps pixels as they are.
bool finishOptionSettings(PlateSettings &settings, const ConvertOptions &options, Outcome &outcome,
                          const std::function<bool()> &pixelsOnly)
{
    if (options.firstFrame) {
        settings.exportFirst = QString::number(*options.firstFrame);
        settings.exportFirstTyped = true;
    }
    settings.defaultExportFirst(options.target);
    if (const QString problem = settings.problem(); !problem.isEmpty()) {
        fail(outcome, UsageError, problem);
        return false;
    }
    if (toInt(settings.plateWidth) <= 0 || toInt(settings.plateHeight) <= 0) {
        // Without a plate only a conversion that never looks at it can run:
        // pixels to pixels, default window. It runs on a unit plate.
        if (options.preset != 0 || toDouble(settings.pixelAspect) != 1.0 ||
            options.target->target != TargetRule::None || !pixelsOnly()) {
            fail(outcome, SettingsMissing,
                 QStringLiteral("the input does not state its plate size; "
                                "give it with --plate WIDTHxHEIGHT."));
            return false;
        }
        settings.setPlateWidth(QStringLiteral("1"));
        settings.setPlateHeight(QStringLiteral("1"));
    }
    settings.choosePredefined(options.preset);
    return true;
}

} // namespace

// Step 3 and Apply with the options on top of what the imports set.
bool applyConvertOptions(TrackTable &table, PlateSettings &settings, const ConvertOptions &options,
                         Outcome &outcome, QStringList &conventionNotes, QStringList *operations,
                         bool keepSources)
{
    takeOptionPlate(settings, options);
    if (!options.operations.empty()) {
        const TrackOperationsOutcome done = runTrackOperations(table, settings, options.operations);
        if (!done.ok()) {
            QString message = QStringLiteral("%1: %2").arg(
                trackOperationText(options.operations.at(size_t(done.failed))), done.error);
            if (done.plateMissing) message += QStringLiteral(" Give it with --plate WIDTHxHEIGHT.");
            fail(outcome, done.plateMissing ? SettingsMissing : InputError, message);
            return false;
        }
        if (operations) *operations = done.summaries;
    }
    const auto pixelsOnly = [&] {
        for (int r = 0; r < table.rowCount(); ++r)
            if (sourceRuleOf(table.sourceFormat(r)) != SourceRule::None) return false;
        return true;
    };
    if (!finishOptionSettings(settings, options, outcome, pixelsOnly)) return false;
    ApplyParams params = applyParams(settings, *options.target);
    params.progress = options.applied;
    params.keepSources = keepSources;
    ApplyResult result = applySettings(table, params);
    outcome.notes += result.notes;
    conventionNotes = result.notes;
    if (result.valueRow >= 0) {
        // A value no conversion can hold is the input's, wherever the settings take it.
        const int r = result.valueRow;
        const QString where =
            options.inputs.size() == 1
                ? QDir::toNativeSeparators(options.inputs.first()) + QStringLiteral(", ")
                : QString();
        fail(outcome, InputError,
             QStringLiteral("%1track \"%2\", frame %3: %4")
                 .arg(where, table.name(r))
                 .arg(table.frame(r))
                 .arg(result.error),
             options.inputs.size() == 1 ? options.inputs.first() : QString());
        return false;
    }
    if (!result.error.isEmpty()) {
        fail(outcome, SettingsMissing, result.error);
        return false;
    }
    if (result.shapeNameProblem) {
        fail(outcome, InputError,
             QString::fromLatin1(shapeNameMessage).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return false;
    }
    return true;
}

namespace {

// Reads and converts one job's inputs into r; false with the failure in outcome.
bool prepareJob(const Job &job, const ConvertOptions &options, Ready &r, Outcome &outcome,
                const Progress &progress)
{
    r.report.inputs = job.inputs;
    r.report.path = job.output;
    for (int i = 0; i < job.inputs.size(); ++i) {
        if (progress) progress(QStringLiteral("reading %1").arg(job.inputs.at(i)));
        if (!importInput(r.table, r.settings, job.inputs.at(i), options, i > 0, outcome))
            return false;
    }
    if (progress) progress(QStringLiteral("converting %1 rows").arg(r.table.rowCount()));
    // The table is written and dropped: its rows need no tips.
    if (!applyConvertOptions(r.table, r.settings, options, outcome, r.report.conventionNotes,
                             &r.report.operations, false)) {
        // In a batch, say which input lacks what.
        if (outcome.code == SettingsMissing && options.inputs.size() > 1 &&
            outcome.errorFile.isEmpty()) {
            outcome.message = QStringLiteral("%1: %2").arg(job.inputs.join(QStringLiteral(", ")),
                                                           outcome.message);
            if (job.inputs.size() == 1) outcome.errorFile = job.inputs.first();
        }
        return false;
    }
    r.report.exportFirst = r.settings.exportFirst;
    Validation validation = validateForExport(r.table);
    if (!validation.ok()) {
        fail(outcome, InputError,
             QStringLiteral("%1: %2").arg(job.inputs.join(QStringLiteral(", ")), validation.error),
             job.inputs.size() == 1 ? job.inputs.first() : QString());
        return false;
    }
    const QString corners =
        cornerPinError(r.table, validation.markedRows, *options.target, options.corners);
    if (!corners.isEmpty()) {
        fail(outcome, UsageError, corners + QStringLiteral(" (--corners UL,UR,LL,LR)"));
        return false;
    }
    return true;
}

} // namespace

namespace {

// A save's result into the run's report; false (the failure in outcome)
// when it failed.
bool recordSave(Outcome &outcome, OutputReport &report, ExportResult &result, const Format &target)
{
    outcome.recovered += result.recovered;
    if (!result.writeProtected.isEmpty()) result.error += QStringLiteral(" (--force replaces it)");
    if (!result.ok()) {
        // The conversions before this one stand: say which files they wrote.
        QString message = result.error;
        if (!outcome.written.isEmpty())
            message += QStringLiteral(" (written before this failure: %1)")
                           .arg(outcome.written.join(QStringLiteral(", ")));
        fail(outcome, OutputError, message, report.path);
        return false;
    }
    report.written = result.written;
    report.rows = result.rows;
    report.tracks = result.tracks;
    report.trackFiles = result.trackFiles;
    report.renamed = result.renamed;
    report.notes = result.notes;
    outcome.written += result.written;
    outcome.trackFiles += result.trackFiles;
    for (const QString &note : result.notes)
        outcome.notes << QStringLiteral("%1: %2").arg(report.path, note);
    const QString filter = QLatin1String(target.treeExportFilter);
    for (const RenamedTrack &track : result.renamed)
        outcome.notes << QStringLiteral("%1: %2").arg(report.path, renamedNote(track, filter));
    outcome.outputs.append(report);
    return true;
}

// One input converted without holding its table (export/streaming.h):
// true when it ran, its report in outcome; false when it runs whole.
bool streamJob(const Job &job, const ConvertOptions &options, Outcome &outcome,
               const Progress &progress)
{
    const QString &path = job.inputs.first();
    if (job.inputs.size() != 1 || !options.operations.empty() || options.camera != Camera::All ||
        path == QLatin1String("-") || job.output == QLatin1String("-"))
        return false;
    Outcome detected;
    InputReport input;
    input.path = path;
    input.format = inputFormat(path, options.from, detected, &input.candidates);
    if (!input.format || !mayStream(*input.format, *options.target)) return false;
    // The reading is the whole conversion's progress: each piece is
    // converted and written as it is read.
    if (progress) progress(QStringLiteral("reading %1").arg(path));
    StreamJob stream;
    stream.input = path;
    stream.source = input.format;
    stream.target = options.target;
    stream.output = job.output;
    stream.inputs = options.inputs;
    stream.replaceProtected = options.force;
    stream.needsImportFirst = options.firstFrame.has_value();
    stream.bytesRead = options.bytesRead;
    const bool pixels = input.format->source == SourceRule::None;
    stream.settle = [&](PlateSettings &settings) {
        Outcome refused; // the whole conversion says why
        takeOptionPlate(settings, options);
        return finishOptionSettings(settings, options, refused, [pixels] { return pixels; });
    };
    StreamOutcome streamed = streamConversion(stream);
    if (streamed.status != Streamed::Read) return false;
    input.notes = detected.notes;
    input.rows = streamed.rows;
    input.tracks = streamed.tracks;
    input.frames = streamed.frames;
    outcome.inputs.append(input);
    outcome.notes += detected.notes;
    outcome.notes += streamed.applyNotes;
    OutputReport report;
    report.inputs = job.inputs;
    report.path = job.output;
    report.exportFirst = streamed.settings.exportFirst;
    report.conventionNotes = streamed.applyNotes;
    recordSave(outcome, report, streamed.saved, *options.target);
    return true;
}

} // namespace

Outcome convert(const ConvertOptions &options, const Progress &progress)
{
    if (!options.target->writer)
        return failure(
            UsageError,
            QStringLiteral("Corvane reads %1 files but does not write them; choose another --to.")
                .arg(QLatin1String(options.target->name)));

    // The jobs: all inputs into one table, or one table per input.
    QList<Job> jobs;
    const QString extension = options.target->fileExtension();
    auto defaultOutput = [&](const QString &input) {
        return QDir::current().filePath(QFileInfo(input).completeBaseName() + QLatin1Char('.') +
                                        extension);
    };
    if (options.append || options.inputs.size() == 1) {
        QString output = options.output;
        if (output.isEmpty()) {
            output = defaultOutput(options.inputs.first());
        } else if (QFileInfo(output).isDir()) {
            // A folder takes the file under the input's name, as with several inputs.
            output =
                QDir(output).filePath(QFileInfo(defaultOutput(options.inputs.first())).fileName());
        } else if (output.endsWith(QLatin1Char('/'))) {
            return failure(UsageError,
                           QStringLiteral("-o %1: there is no such folder.").arg(output));
        }
        jobs.append({options.inputs, output});
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
    const bool toStandardOutput = jobs.size() == 1 && jobs.first().output == QLatin1String("-");
    if (options.target->perTrack()) {
        if (toStandardOutput)
            return failure(UsageError, QStringLiteral("-o -: %1 writes one file per track, which "
                                                      "standard output cannot hold; give -o a "
                                                      "file name.")
                                           .arg(QLatin1String(options.target->name)));
        // Its files go beside the output: into a folder, never into /dev.
        for (const Job &job : jobs) {
            const QFileInfo file(job.output);
            if (file.exists() && !file.isFile())
                return failure(UsageError,
                               QStringLiteral("-o %1 is not a file: %2 writes one file per track "
                                              "beside the file it names; give -o a file in a "
                                              "folder, or the folder.")
                                   .arg(job.output, QLatin1String(options.target->name)));
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
    Outcome outcome;
    // What killed saves left in the folders read from and written to is put
    // back before anything is read.
    QStringList touched = options.inputs;
    for (const Job &job : jobs)
        if (job.output != QLatin1String("-")) touched << job.output;
    outcome.recovered = SaveTransaction::recoverFolders(touched);
    if (jobs.size() == 1 && !options.append) {
        if (streamJob(jobs.first(), options, outcome, progress)) return outcome;
    }
    // Each job read and converted on its own (on several threads with
    // --jobs); the first failure in the inputs' order is the run's, as one by one.
    std::vector<Ready> ready(size_t(jobs.size()));
    std::vector<Outcome> prepared(size_t(jobs.size()));
    std::mutex progressLock;
    const Progress told = [&](const QString &step) {
        if (!progress) return;
        std::lock_guard<std::mutex> hold(progressLock);
        progress(step);
    };
    std::atomic<qsizetype> firstFailed{jobs.size()};
    auto prepare = [&](qsizetype k) {
        if (k > firstFailed.load()) return; // a job before it failed: the run stops there
        if (!prepareJob(jobs.at(k), options, ready[size_t(k)], prepared[size_t(k)], told)) {
            qsizetype known = firstFailed.load();
            while (k < known && !firstFailed.compare_exchange_weak(known, k)) {
            }
        }
    };
    const int threads = std::clamp(options.jobs > 0 ? options.jobs : QThread::idealThreadCount(), 1,
                                   int(jobs.size()));
    if (threads == 1) {
        for (qsizetype k = 0; k < jobs.size() && firstFailed.load() == jobs.size(); ++k)
            prepare(k);
    } else {
        std::atomic<qsizetype> next{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&] {
                for (qsizetype k = next++; k < jobs.size(); k = next++)
                    prepare(k);
            });
        for (std::thread &worker : workers)
            worker.join();
    }
    // What was read, in order, up to the first failure.
    for (qsizetype k = 0; k < jobs.size() && k <= firstFailed.load(); ++k) {
        Outcome &part = prepared[size_t(k)];
        outcome.inputs += part.inputs;
        outcome.notes += part.notes;
        if (k == firstFailed.load()) {
            part.inputs = outcome.inputs;
            part.notes = outcome.notes;
            part.recovered = outcome.recovered;
            return part;
        }
    }
    for (Ready &r : ready) {
        OutputReport &report = r.report;
        if (progress) progress(QStringLiteral("writing %1").arg(report.path));
        ExportParams params = exportParams(r.settings, *options.target, report.path);
        params.inputs = options.inputs;
        params.corners = options.corners;
        params.replaceProtected = options.force;
        params.inMemory = toStandardOutput; // the caller writes it out
        ExportResult result = exportTable(r.table, params);
        if (toStandardOutput && !result.contents.isEmpty())
            outcome.standardOutput = result.contents.first().second;
        if (!recordSave(outcome, report, result, *options.target)) return outcome;
    }
    return outcome;
}

ErrorKind outcomeKind(const Outcome &outcome)
{
    if (outcome.errorKind) return *outcome.errorKind;
    switch (outcome.code) {
    case OutputError:
        return ErrorKind::CannotWrite;
    case InputError:
        return readErrorKind(outcome.message, outcome.errorFile,
                             !outcome.message.contains(QLatin1String("not a track file")));
    default:
        return ErrorKind::Settings;
    }
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

QString strictMessage(const LeftOut &leftOut, const char *strictSwitch)
{
    return QStringLiteral("%1 (%2: a reading that leaves something out or changes it fails, and "
                          "nothing was written.)")
        .arg(leftOut.first, QLatin1String(strictSwitch));
}

Outcome describe(const QString &path, const Format *from, InputReport &report, bool strict)
{
    Outcome outcome;
    outcome.recovered = SaveTransaction::recoverFolders({path});
    report.path = path;
    report.format = inputFormat(path, from, outcome, &report.candidates);
    report.notes = outcome.notes;
    if (!report.format) return outcome;
    ReadResult read = dispatch(path, QLatin1String(report.format->importFilter));
    if (!read.ok()) {
        fail(outcome, InputError, read.error, path, read.line);
        outcome.errorKind = read.kind;
        return outcome;
    }
    const TrackSet &set = read.set;
    QSet<QString> names(set.names.runs().begin(), set.names.runs().end());
    report.tracks = int(names.size());
    report.rows = set.count;
    if (set.count > 0) {
        auto [low, high] = std::minmax_element(set.frames.begin(), set.frames.begin() + set.count);
        report.frames = std::make_pair(*low, *high);
    }
    if (set.plateWidth > 0 && set.plateHeight > 0)
        report.plate = std::make_pair(set.plateWidth, set.plateHeight);
    report.notes += read.notes;
    report.leftOut = read.leftOut;
    if (!read.cutShort.isEmpty()) report.notes << read.cutShort;
    if (strict && read.leftOut.any())
        fail(outcome, InputError, strictMessage(read.leftOut, "--strict"), path,
             read.leftOut.firstLine);
    return outcome;
}

QStringList describeLines(const InputReport &report)
{
    QStringList lines;
    if (!report.format) return lines;
    lines << QStringLiteral("%1:").arg(report.path);
    lines << QStringLiteral("  format: %1 (%2)")
                 .arg(QLatin1String(report.format->id), QLatin1String(report.format->name));
    lines << QStringLiteral("  tracks: %1").arg(report.tracks);
    lines << QStringLiteral("  rows: %1").arg(report.rows);
    lines << (report.frames ? QStringLiteral("  frames: %1..%2")
                                  .arg(report.frames->first)
                                  .arg(report.frames->second)
                            : QStringLiteral("  frames: none"));
    lines << (report.plate ? QStringLiteral("  plate: %1x%2")
                                 .arg(report.plate->first)
                                 .arg(report.plate->second)
                           : QStringLiteral("  plate: not stated"));
    for (const QString &note : report.notes)
        lines << QStringLiteral("  note: %1").arg(note);
    return lines;
}

} // namespace corvane
