// SPDX-License-Identifier: Apache-2.0
// Decimal numbers kept as their digits, for formats that store a point as
// the sum of parts (a reference and a shift): adding the texts exactly and
// reading the sum once gives the value the program meant, where adding two
// doubles would move the last bit.
#pragma once

#include "textscan.h"

#include <QByteArray>

#include <optional>

namespace corvane {

// Sums and products of decimal texts stay exact in 128 bits (a GCC and
// clang extension, named once here).
__extension__ typedef __int128 WideInt;
__extension__ typedef unsigned __int128 WideUnsigned;

struct Decimal
{
    WideInt digits = 0; // the value is digits / 10^scale
    int scale = 0;
};

// A plain decimal ("-12.375", "7", ".5"); none for exponents, or for more
// than 18 significant digits or decimals.
std::optional<Decimal> parseDecimal(Field text);
Decimal operator+(Decimal a, Decimal b);
// The shortest plain text of the value ("12.5", "-0.000001", "3").
QByteArray decimalText(Decimal d);
void appendDecimalText(QByteArray &out, Decimal d);
// The double nearest to the value.
double decimalValue(Decimal d);
// The shortest plain digits that read back to v; none past what parseDecimal takes.
std::optional<Decimal> shortestDecimal(double v);
// Whether the value's decimalText reads back through parseDecimal.
bool readsBack(Decimal d);

} // namespace corvane
