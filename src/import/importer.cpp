// SPDX-License-Identifier: Apache-2.0
#include "importer.h"

#include "formats/kit/stoprequest.h"

#include "formats/format.h"
#include "recognise.h"
#include "settings/platesettings.h"
#include "streamedimport.h"

#include <QDir>

#include <algorithm>

namespace corvane {

void takeOverImport(PlateSettings &settings, const TrackSet &set, ImportMode mode,
                    const QString &formatFilter)
{
    if (mode == ImportMode::NewList) {
        settings.resetValues();
        // A new list takes its own first frame, whatever the list before began at.
        settings.importFirst.clear();
    }
    settings.takeOverImport(set, formatFilter);
}

FillRange fillImport(TrackTable &table, const TrackSet &set, ImportMode mode,
                     const QString &formatFilter, const FillProgress &progress)
{
    FillRange range = prepareFill(table, set.count, mode == ImportMode::Append);
    fillRows(table, set, range, formatFilter, progress);
    return range;
}

QString keepCamera(ReadResult &read, Camera camera, const QString &path)
{
    if (camera == Camera::All) return QString();
    const TrackSet &all = read.set;
    TrackSet kept;
    kept.plateWidth = all.plateWidth;
    kept.plateHeight = all.plateHeight;
    const QStringList &runs = all.names.runs();
    const std::vector<qsizetype> &starts = all.names.runStarts();
    for (qsizetype run = 0; run < runs.size(); ++run) {
        const QString &name = runs.at(run);
        const bool secondary = isSecondaryCameraTrack(name);
        if (secondary != (camera == Camera::Secondary)) continue;
        const QString keptName = cameraTrackBase(name);
        const qsizetype end = run + 1 < runs.size() ? starts[size_t(run) + 1] : all.count;
        for (qsizetype r = starts[size_t(run)]; r < end; ++r)
            kept.append(keptName, all.frames[size_t(r)], all.x[size_t(r)], all.y[size_t(r)]);
    }
    if (kept.count == 0)
        return QStringLiteral("%1: no track of the %2 camera.")
            .arg(QDir::toNativeSeparators(path), camera == Camera::Secondary
                                                     ? QStringLiteral("secondary")
                                                     : QStringLiteral("primary"));
    kept.firstFrame = QString::number(*std::min_element(kept.frames.begin(), kept.frames.end()));
    read.set = std::move(kept);
    return QString();
}

ImportResult importFile(TrackTable &table, PlateSettings &settings, const QString &path,
                        const Format &format, ImportMode mode, Camera camera,
                        std::atomic<qint64> *bytesRead)
{
    ImportResult result;
    const QString filter = QLatin1String(format.importFilter);
    Recognised recognised = recognise(path, format);
    if (!format.read) {
        result.error = dispatch(path, format).error; // says that it cannot be read yet
        return result;
    }
    if (!recognised.ok()) {
        result.error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), recognised.message);
        result.kind = ErrorKind::NotATrackFile;
        return result;
    }
    if (camera == Camera::All &&
        importStreamed(table, settings, path, format, mode, bytesRead, result))
        return result;
    ReadResult read = dispatch(path, format, bytesRead);
    if (!read.ok() || !read.cutShort.isEmpty()) {
        result.error = read.ok() ? read.cutShort : read.error;
        result.line = read.ok() ? 0 : read.line;
        result.kind = read.ok() ? ErrorKind::CutShort : read.kind;
        return result;
    }
    result.error = keepCamera(read, camera, path);
    if (!result.error.isEmpty()) {
        result.kind = ErrorKind::Settings; // the camera asked for is not in the file
        return result;
    }
    takeOverImport(settings, read.set, mode, filter);
    result.range = fillImport(table, read.set, mode, filter);
    // A stopped fill leaves the table part filled: the caller drops it.
    if (stopRequested()) result.error = QString::fromLatin1(stoppedMessage);
    result.notes = read.notes;
    result.leftOut = read.leftOut;
    return result;
}

} // namespace corvane
