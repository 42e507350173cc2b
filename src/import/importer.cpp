// SPDX-License-Identifier: Apache-2.0
#include "importer.h"

#include "formats/format.h"
#include "recognise.h"
#include "settings/platesettings.h"

#include <QDir>

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

ImportResult importFile(TrackTable &table, PlateSettings &settings, const QString &path,
                        const Format &format, ImportMode mode)
{
    ImportResult result;
    const QString filter = QLatin1String(format.importFilter);
    Recognised recognised = recognise(path, filter);
    if (!format.read) {
        result.error = dispatch(path, filter).error; // says that it cannot be read yet
        return result;
    }
    if (!recognised.ok()) {
        result.error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), recognised.message);
        return result;
    }
    ReadResult read = dispatch(path, filter);
    if (!read.ok() || !read.cutShort.isEmpty()) {
        result.error = read.ok() ? read.cutShort : read.error;
        result.line = read.ok() ? 0 : read.line;
        return result;
    }
    takeOverImport(settings, read.set, mode, filter);
    result.range = fillImport(table, read.set, mode, filter);
    result.notes = read.notes;
    return result;
}

} // namespace corvane
