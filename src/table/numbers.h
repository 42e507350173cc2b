// SPDX-License-Identifier: Apache-2.0
// Number texts of the track table: frames as decimal integers, coordinates
// as 6-decimal fixed texts, tool tips in 6-digit "g" form, and the
// coordinates writers make: fixed notation, at most 6 decimals, never an
// exponent.
// These run once or twice per row in every import, Apply and export, so they
// format into stack buffers instead of going through QLocale.
#pragma once

#include <QString>
#include <QStringView>

namespace corvane {

QString fixed6(double v);   // QString::number(v, 'f', 6)
QString general6(double v); // QString::number(v, 'g', 6)

// The value a text of fixed6() reads back as, without building the text.
double roundFixed6(double v);

// Appends the text to a UTF-8/Latin-1 byte buffer (writers build files in bytes).
// A coordinate as the writers write it: fixed notation with 6 decimals,
// trailing zeros and a trailing decimal point dropped, "-0" written "0"
// (1234.5678, 1234567.5, 0.000012, 50).
void appendDecimal6(QByteArray &out, double v);
// appendDecimal6 into a buffer of MaxDecimal6Length characters; returns the length.
constexpr int MaxDecimal6Length = 400;
int formatDecimal6(char *buf, double v);
void appendFixed6(QByteArray &out, double v);
void appendInt(QByteArray &out, long long v);
// Fixed notation with at least 6 decimals and as many more as the value needs
// to read back exactly: for coordinates given as fractions of the plate,
// where 6 decimals would move a point by a thousandth of a pixel.
void appendFixedExact(QByteArray &out, double v);
// appendFixedExact into a buffer of MaxFixedExactLength characters; returns the length.
constexpr int MaxFixedExactLength = 400;
int formatFixedExact(char *buf, double v);
// fixed6 into a buffer of MaxFixed6Length characters; returns the length.
constexpr int MaxFixed6Length = 330;
int formatFixed6(char *buf, double v);

// Text to number as the table reads cells: surrounding blanks allowed, a text
// that is not a number gives 0 and *ok = false.
double toDouble(QStringView text, bool *ok = nullptr);
int toInt(QStringView text, bool *ok = nullptr);

} // namespace corvane
