// SPDX-License-Identifier: Apache-2.0
#include "census.h"

#include "table/tracknames.h"
#include "table/tracktable.h"

namespace corvane {

TrackCensus takeCensus(const TrackTable &table, const QList<int> &rows)
{
    QStringList runNames;
    QList<int> runLengths;
    for (int k = 0; k < rows.size(); ++k) {
        QString name = table.name(rows.at(k));
        if (k > 0 && name == runNames.last()) {
            ++runLengths.last();
            continue;
        }
        runNames.append(name);
        runLengths.append(1);
    }
    return censusOfRuns(runNames, runLengths);
}

TrackCensus censusOfRuns(const QStringList &runNames, const QList<int> &runLengths)
{
    TrackCensus census;
    for (int length : runLengths)
        census.rowCounts.append(QString::number(length));
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
