// SPDX-License-Identifier: Apache-2.0
// The save's own cost: the same rows saved as one file and as one file per
// track, first into an empty folder and then over the files saved before.
// What a per-track save costs beyond one file is the transaction's work per
// file (temporary files, syncs, renames, the replaced files freed).
#include "bench.h"

#include "export/exporter.h"
#include "table/tracktable.h"

#include <QDir>

#include <algorithm>
#include <cstdio>

using namespace corvane;

namespace {

// `rows` rows shared by `tracks` tracks, frames from 1.
TrackTable savedTable(int rows, int tracks)
{
    TrackTable table;
    table.setColumnCount(TrackColumnCount);
    table.setRowCount(rows);
    const int perTrack = (rows + tracks - 1) / tracks;
    quint32 name = 0;
    for (int r = 0; r < rows; ++r) {
        if (r % perTrack == 0)
            name = table.internName(
                QStringLiteral("Track_%1").arg(r / perTrack + 1, 4, 10, QLatin1Char('0')));
        const int f = r % perTrack;
        table.setImportedRow(r, name, f + 1, 100.0 + r / perTrack + f * 0.731, 900.0 - f * 0.417,
                             0);
    }
    return table;
}

void save(const char *name, const TrackTable &table, const QString &target)
{
    stage(name, [&] {
        ExportParams params;
        params.targetFilter = QStringLiteral("Nuke Tracker File (*.txt)");
        params.targetPath = target;
        params.windowWidth = QStringLiteral("1920");
        params.windowHeight = QStringLiteral("1080");
        params.pixelAspect = QStringLiteral("1.0");
        const ExportResult result = exportTable(table, params);
        if (!result.ok()) std::fprintf(stderr, "corvane-bench: %s\n", qPrintable(result.error));
    });
}

void printRatio(const QByteArray &perTrack, const QByteArray &one)
{
    const double base = stageSeconds(one.constData());
    if (base > 0)
        std::printf("# %s / %s: %.2fx (goal: at most 1.5x)\n", perTrack.constData(),
                    one.constData(), stageSeconds(perTrack.constData()) / base);
}

} // namespace

void runSaveStages(int rows, const QString &folder)
{
    const int tracks = std::min(rows, 1000);
    const QByteArray perTrack = "save-per-track-" + QByteArray::number(tracks);
    const QDir dir(folder);
    dir.mkpath(QStringLiteral("saves/one"));
    dir.mkpath(QStringLiteral("saves/tracks"));
    const QString one = dir.filePath(QStringLiteral("saves/one/shot.txt"));
    const QString many = dir.filePath(QStringLiteral("saves/tracks/shot.txt"));
    {
        // A per-track format with a single track: one file of every row.
        const TrackTable table = savedTable(rows, 1);
        save("save-one-file", table, one);
        save("save-one-file-again", table, one);
    }
    {
        const TrackTable table = savedTable(rows, tracks);
        save(perTrack.constData(), table, many);
        save(perTrack + "-again", table, many);
    }
    printRatio(perTrack, "save-one-file");
    printRatio(perTrack + "-again", "save-one-file-again");
    QDir(dir.filePath(QStringLiteral("saves"))).removeRecursively();
}
