// SPDX-License-Identifier: Apache-2.0
#include "groups.h"

#include "table/tracknames.h"
#include "table/tracktable.h"

namespace corvane {

namespace {

bool inShape(const QString &name, const QString &prefix)
{
    return isShapeTrack(name) && name.contains(QLatin1Char('_')) && shapePrefix(name) == prefix;
}

void appendLine(QString &out, const TrackTable &table, int r, int first, int last)
{
    for (int c = first; c <= last; ++c) {
        if (c > first) out += QLatin1Char('\t');
        out += table.text(r, c);
    }
    out += QLatin1Char('\n');
}

std::vector<int> shapeRows(const TrackTable &table, const QString &reference, Group &group)
{
    const QString prefix = shapePrefix(reference);
    int first = -1, last = -1;
    for (int r = 0; r < table.rowCount(); ++r)
        if (inShape(table.name(r), prefix)) {
            if (first < 0) first = r;
            last = r;
        }
    group.currentRow = first;
    group.scrollRow = last;
    std::vector<int> rows;
    for (int r = first; first >= 0 && r <= last; ++r)
        rows.push_back(r);
    return rows;
}

} // namespace

Group selectGroup(const TrackTable &table, int referenceRow, GroupKind kind)
{
    Group group;
    if (referenceRow < 0 || referenceRow >= table.rowCount()) return group;
    const QString reference = table.name(referenceRow);
    int lineFirst = 0, lineLast = TrackColumnCount - 1;
    switch (kind) {
    case GroupKind::TrackNames:
        group.firstColumn = group.lastColumn = lineFirst = lineLast = NameColumn;
        break;
    case GroupKind::Frames:
        group.firstColumn = group.lastColumn = lineFirst = lineLast = FrameColumn;
        break;
    case GroupKind::Coordinates:
        group.firstColumn = lineFirst = XColumn;
        group.lastColumn = lineLast = YColumn;
        break;
    case GroupKind::Rows:
        group.firstColumn = NameColumn;
        group.lastColumn = YColumn;
        break;
    case GroupKind::Shape:
        group.firstColumn = group.lastColumn = NameColumn;
        break;
    }
    lineLast = std::min(lineLast, table.columnCount() - 1);
    if (kind == GroupKind::Shape) {
        group.rows = shapeRows(table, reference, group);
    } else {
        for (int r = 0; r < table.rowCount(); ++r)
            if (table.name(r) == reference) group.rows.push_back(r);
    }
    for (int r : group.rows)
        appendLine(group.copyText, table, r, lineFirst, lineLast);
    return group;
}

} // namespace corvane
