// SPDX-License-Identifier: Apache-2.0
#include "formats/writecontext.h"
#include "table/numbers.h"
#include "table/tracktable.h"

namespace corvane {

ExportRow::ExportRow(const TrackTable *table, int row)
    : name(table->name(row)), frame(table->frame(row)), m_table(table), m_row(row)
{
}

ExportRow::ExportRow(const TrackTable *table, int row, const QString &name)
    : name(name), frame(table->frame(row)), m_table(table), m_row(row)
{
}

void ExportRow::moveTo(int row)
{
    m_row = row;
    frame = m_table->frame(row);
}

void ExportRow::appendCell(QByteArray &out, int column) const
{
    double value = 0;
    if (m_table->numericCoordinate(m_row, column, &value))
        appendFixed6(out, value);
    else
        out += m_table->displayText(m_row, column).toLocal8Bit();
}

void ExportRow::appendFrameXY(QByteArray &out, const char *separator) const
{
    appendInt(out, frame);
    out += separator;
    appendX(out);
    out += separator;
    appendY(out);
}

qint64 ExportRow::nameId() const
{
    return m_table ? m_table->nameId(m_row) : -1;
}

double ExportRow::number(int column) const
{
    double value = 0;
    if (!m_table->numericCoordinate(m_row, column, &value))
        value = m_table->coordinate(m_row, column);
    return value;
}

void ExportRow::appendNumber(QByteArray &out, int column) const
{
    appendDecimal6(out, number(column));
}

} // namespace corvane
