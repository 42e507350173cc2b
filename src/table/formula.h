// SPDX-License-Identifier: Apache-2.0
// Spreadsheet formulas of the track table's formula cells: "=1+2*3",
// references A1..Z999, unary minus and parentheses (nested at most 256 deep).
// Errors give an invalid QVariant, which a cell shows as "####".
#pragma once

#include <QString>
#include <QVariant>

#include <functional>

namespace corvane {

// Gives the value a reference (row, column) stands for.
using CellResolver = std::function<QVariant(int row, int column)>;

// The value of a cell's source text: 'text is a string, =expr is evaluated,
// a number is a double, anything else the text itself.
QVariant evaluateCellText(const QString &source, const CellResolver &resolve);

// The value of an expression without its leading "=".
QVariant evaluateExpression(const QString &expression, const CellResolver &resolve);

// A plain text as a value: a double when it reads as one, else the text.
QVariant plainTextValue(const QString &text);

// What a cell with this value shows: the number with up to 15 digits, the
// string, or "####" for an error.
QString formulaDisplayText(const QVariant &value);

// Qt::AlignLeft|AlignVCenter for strings, Qt::AlignRight|AlignVCenter otherwise.
int formulaAlignment(const QVariant &value);

} // namespace corvane
