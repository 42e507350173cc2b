// SPDX-License-Identifier: Apache-2.0
// The track table's cell attributes: roles, colours, marks and formula values.
#include "tablestorage.h"

#include "formula.h"
#include "numbers.h"

namespace corvane {

QVariant TrackTable::formulaResult(int r, int column) const
{
    const CellExtra *e = extraOf(r, column);
    if (!e) return QVariant();
    if (e->evaluatedAt != m_generation) {
        e->evaluatedAt = m_generation; // a formula that refers to itself sees its last value
        // A chain of formulas that refer to formulas ends in an error, not
        // in a stack too deep.
        constexpr int maxChain = 256;
        if (m_formulaDepth >= maxChain) {
            e->result = QVariant();
            return e->result;
        }
        ++m_formulaDepth;
        e->result =
            evaluateCellText(e->text, [this](int rr, int cc) { return referenceValue(rr, cc); });
        --m_formulaDepth;
    }
    return e->result;
}

QVariant TrackTable::referenceValue(int r, int column) const
{
    switch (kind(r, column)) {
    case CellKind::None:
        return 0.0;
    case CellKind::Formula:
        return formulaResult(r, column);
    case CellKind::Item:
        break;
    }
    // A plain item reads like a formula cell's plain text.
    return plainTextValue(text(r, column));
}

QVariant TrackTable::data(int r, int column, int role) const
{
    CellKind k = kind(r, column);
    if (k == CellKind::None) return QVariant();
    const Row &rw = row(r);
    const CellExtra *e = extraOf(r, column);

    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (k == CellKind::Formula && role == Qt::DisplayRole)
            return formulaDisplayText(formulaResult(r, column));
        return text(r, column);
    }
    if (role == Qt::TextAlignmentRole && k == CellKind::Formula)
        return formulaAlignment(formulaResult(r, column));
    if (e) {
        auto it = e->roles.constFind(role);
        if (it != e->roles.cend()) return it.value();
    }
    switch (role) {
    case Qt::TextAlignmentRole:
        if (rw.flags & ImportedStyle) return ImportedAlignment;
        break;
    case Qt::ToolTipRole:
        if (isCoordinate(column) && (rw.flags & HasImported))
            return general6(pointsOf(r).imported[column - XColumn]);
        break;
    case Qt::StatusTipRole:
        if (isCoordinate(column) && (rw.flags & HasPixel))
            return fixed6(pointsOf(r).pixel[column - XColumn]);
        if (column == NameColumn) {
            const RowExtra *x = extraOfRow(rw);
            if (x && !x->note.isEmpty()) return x->note;
        }
        break;
    case Qt::WhatsThisRole:
        if (isCoordinate(column) && rw.sourceId()) return m_sources.at(rw.sourceId());
        break;
    default:
        break;
    }
    return QVariant();
}

void TrackTable::setData(int r, int column, int role, const QVariant &value)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        setItemText(r, column, value.toString());
        return;
    }
    if (!hasItem(r, column)) setItemText(r, column, QString());
    extra(r, column).roles.insert(role, value);
}

std::optional<Rgba> TrackTable::background(int r, int column) const
{
    if (!hasItem(r, column)) return std::nullopt;
    const Row &rw = row(r);
    switch (rw.backgroundCode(column)) {
    case NoBackground:
        return std::nullopt;
    case ColumnBackground:
        return columnColour(column);
    case MarkBackground:
        return colors::rowMark;
    case CustomBackground:
        return extraOf(r, column)->background;
    }
    return std::nullopt;
}

void TrackTable::setBackground(int r, int column, std::optional<Rgba> colour)
{
    if (r < 0 || r >= rowCount() || column < 0 || column >= m_columns) return;
    if (!hasItem(r, column)) setItemText(r, column, QString());
    Row &rw = row(r);
    const bool wasMarked = marks(rw);
    if (!colour)
        rw.setBackgroundCode(column, NoBackground);
    else if (*colour == columnColour(column))
        rw.setBackgroundCode(column, ColumnBackground);
    else if (*colour == colors::rowMark)
        rw.setBackgroundCode(column, MarkBackground);
    else {
        rw.setBackgroundCode(column, CustomBackground);
        extra(r, column).background = *colour;
    }
    m_marked.rows += int(marks(rw)) - int(wasMarked);
}

bool TrackTable::isMarked(int r) const
{
    return background(r, NameColumn) == std::optional<Rgba>(colors::rowMark);
}

qint64 TrackTable::memoryBytes() const
{
    qint64 names = 0;
    for (const QString &name : m_names)
        names += 48 + 2 * name.size(); // the string, its hash entry
    return qint64(m_rows.size()) * qint64(sizeof(Row)) +
           qint64(m_points.size()) * qint64(sizeof(RowPoints)) +
           (m_extras ? qint64(m_extras->entries.size()) * ExtraBytes : 0) + names;
}

// What isMarked tells of a row: a "Track Name" item whose background is
// the row mark (a colour is stored as the mark's code whenever it is the mark).
bool TrackTable::marks(const Row &row)
{
    return row.kind(NameColumn) != CellKind::None &&
           row.backgroundCode(NameColumn) == MarkBackground;
}

int TrackTable::marksIn(size_t first, size_t end) const
{
    int marked = 0;
    for (size_t r = first; r < end && r < m_rows.size(); ++r)
        marked += marks(m_rows[r]);
    return marked;
}

int TrackTable::markedCount() const
{
    return m_columns > NameColumn ? m_marked.rows : 0;
}

} // namespace corvane
