// SPDX-License-Identifier: Apache-2.0
#include "census.h"

#include "table/tracknames.h"
#include "table/tracktable.h"

namespace corvane {

std::vector<int> trackStarts(const TrackTable &table, const QList<int> &rows)
{
    std::vector<int> starts;
    int lastRow = -1;
    qint64 lastId = -1;
    for (int k = 0; k < rows.size(); ++k) {
        const int r = rows.at(k);
        // Plain names are interned: equal names have equal ids, and no text is compared.
        const qint64 id = table.nameId(r);
        const bool same =
            lastRow >= 0 &&
            (id >= 0 && lastId >= 0 ? id == lastId : table.name(r) == table.name(lastRow));
        if (!same) starts.push_back(k);
        lastRow = r;
        lastId = id;
    }
    return starts;
}

TrackCensus takeCensus(const TrackTable &table, const QList<int> &rows)
{
    const std::vector<int> starts = trackStarts(table, rows);
    QStringList runNames;
    std::vector<int> runLengths;
    runNames.reserve(qsizetype(starts.size()));
    runLengths.reserve(starts.size());
    for (size_t t = 0; t < starts.size(); ++t) {
        runNames.append(table.name(rows.at(starts[t])));
        const int end = t + 1 < starts.size() ? starts[t + 1] : int(rows.size());
        runLengths.push_back(end - starts[t]);
    }
    return censusOfRuns(runNames, runLengths);
}

TrackCensus censusOfLengths(const std::vector<int> &runLengths)
{
    TrackCensus census;
    census.rowCounts = runLengths;
    census.changes = std::max(0, int(runLengths.size()) - 1);
    return census;
}

TrackCensus censusOfRuns(const QStringList &runNames, const std::vector<int> &runLengths)
{
    TrackCensus census = censusOfLengths(runLengths);

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
            if (inShape) census.shapeCounts.push_back(vertices);
            inShape = true;
            vertices = 1;
        }
        previousPrefix = prefix;
    }
    if (inShape) census.shapeCounts.push_back(vertices);
    return census;
}

} // namespace corvane
