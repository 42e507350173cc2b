// SPDX-License-Identifier: Apache-2.0
#include "census.h"

#include "table/tracknames.h"
#include "table/tracktable.h"

namespace corvane {

TrackCensus takeCensus(const TrackTable &table, const QList<int> &rows)
{
    TrackCensus census;
    QStringList runNames;
    int runLength = 0;
    for (int k = 0; k < rows.size(); ++k) {
        QString name = table.name(rows.at(k));
        if (k > 0 && name == runNames.last()) {
            ++runLength;
            continue;
        }
        if (k > 0) census.rowCounts.append(QString::number(runLength));
        runNames.append(name);
        runLength = 1;
    }
    if (!rows.isEmpty()) census.rowCounts.append(QString::number(runLength));
    census.changes = std::max(0, int(runNames.size()) - 1);

    // Shapes: consecutive vertex runs ("S…" names) with one prefix.
    QString previousPrefix;
    bool inShape = false;
    int vertices = 0;
    for (const QString &name : runNames) {
        if (!isShapeTrack(name)) continue;
        QString prefix = shapePrefix(name);
        if (inShape && prefix == previousPrefix) {
            ++vertices;
        } else {
            if (inShape) census.shapeCounts.append(QString::number(vertices));
            inShape = true;
            vertices = 1;
        }
        previousPrefix = prefix;
    }
    if (inShape) census.shapeCounts.append(QString::number(vertices));
    return census;
}

} // namespace corvane
