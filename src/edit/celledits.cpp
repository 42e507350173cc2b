// SPDX-License-Identifier: Apache-2.0
#include "celledits.h"

#include <QStringList>
#include <QStringView>

namespace corvane {

const char *const pasteShapeMessage =
    "The information cannot be pasted because the copy and paste areas aren't the same size.";

QString copyText(const TrackTable &table, const CellRange &range)
{
    QString out;
    for (int r = range.top; r <= range.bottom; ++r) {
        if (r > range.top) out += QLatin1Char('\n');
        for (int c = range.left; c <= range.right; ++c) {
            if (c > range.left) out += QLatin1Char('\t');
            out += table.text(r, c);
        }
    }
    return out;
}

namespace {

QList<QStringView> clipboardLines(const QString &text)
{
    QStringView view(text);
    if (view.endsWith(QLatin1Char('\n'))) view.chop(1);
    QList<QStringView> lines = view.split(QLatin1Char('\n'));
    for (QStringView &line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

} // namespace

PasteResult pasteText(EditTarget &target, const CellRange &range, const QString &text)
{
    PasteResult result;
    const QList<QStringView> lines = clipboardLines(text);
    const int rows = int(lines.size());
    const int columns = int(lines.first().count(QLatin1Char('\t'))) + 1;
    const bool single = range.rows() == 1 && range.columns() == 1;
    if (!single && (range.rows() != rows || range.columns() != columns)) {
        result.error = QString::fromLatin1(pasteShapeMessage);
        return result;
    }
    TrackTable &table = target.table();
    const int lastRow = std::min(range.top + rows, table.rowCount()) - 1;
    const std::vector<int> touched = rowRange(range.top, lastRow);
    int outside = 0;
    result.edit = changeRows(target, touched, [&](TrackTable &t) {
        for (int i = 0; i < rows; ++i) {
            const QList<QStringView> fields = lines[i].split(QLatin1Char('\t'));
            for (int j = 0; j < columns && j < fields.size(); ++j) {
                const int r = range.top + i, c = range.left + j;
                if (r < t.rowCount() && c < t.columnCount())
                    t.setText(r, c, fields[j].toString());
                else
                    ++outside;
            }
        }
    });
    result.outside = outside;
    if (touched.empty()) result.edit.reset();
    return result;
}

EditPtr setCellsText(EditTarget &target, const CellSelection &selection, const QString &text)
{
    std::vector<int> rows = selectedRows(selection, target.table().rowCount());
    if (rows.empty()) return nullptr;
    return changeRows(target, std::move(rows), [&](TrackTable &t) {
        for (const CellRange &range : selection)
            for (int r = std::max(range.top, 0); r <= std::min(range.bottom, t.rowCount() - 1); ++r)
                for (int c = std::max(range.left, 0); c <= range.right; ++c)
                    if (t.hasItem(r, c)) t.setItemText(r, c, text);
    });
}

EditPtr markRows(EditTarget &target, const std::vector<int> &rows, bool marked)
{
    if (rows.empty()) return nullptr;
    return changeRows(target, rows, [&](TrackTable &t) {
        for (int r : rows)
            for (int c = 0; c < t.columnCount(); ++c)
                if (t.hasItem(r, c))
                    t.setBackground(r, c, marked ? colors::rowMark : columnColour(c));
    });
}

} // namespace corvane
