// SPDX-License-Identifier: Apache-2.0
#include "decimaltext.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

// Two such numbers, aligned to the finer scale, stay within 128 bits.
constexpr int MaxDigits = 18;
constexpr int MaxScale = 18;

__int128 power10(int n)
{
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Both at the finer scale.
void align(Decimal &a, Decimal &b)
{
    Decimal &low = a.scale < b.scale ? a : b;
    const int by = std::max(a.scale, b.scale) - low.scale;
    low.digits *= power10(by);
    low.scale += by;
}

} // namespace

std::optional<Decimal> parseDecimal(Field text)
{
    const char *p = text.begin, *end = text.end;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    Decimal d;
    int digits = 0;
    bool point = false, any = false;
    for (; p < end; ++p) {
        if (*p == '.' && !point) {
            point = true;
            continue;
        }
        if (*p < '0' || *p > '9') return std::nullopt;
        any = true;
        if (digits > 0 || *p != '0') ++digits;
        if (digits > MaxDigits) return std::nullopt;
        d.digits = d.digits * 10 + (*p - '0');
        if (point && ++d.scale > MaxScale) return std::nullopt;
    }
    if (!any) return std::nullopt;
    if (negative) d.digits = -d.digits;
    return d;
}

Decimal operator+(Decimal a, Decimal b)
{
    align(a, b);
    return {a.digits + b.digits, a.scale};
}

QByteArray decimalText(Decimal d)
{
    // Trailing zeros of the fraction go first.
    while (d.scale > 0 && d.digits % 10 == 0) {
        d.digits /= 10;
        --d.scale;
    }
    const bool negative = d.digits < 0;
    __int128 v = negative ? -d.digits : d.digits;
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(v % 10)));
        v /= 10;
    } while (v != 0);
    while (digits.size() <= d.scale)
        digits.prepend('0');
    if (d.scale > 0) digits.insert(digits.size() - d.scale, '.');
    if (negative) digits.prepend('-');
    return digits;
}

double decimalValue(Decimal d)
{
    // Digits and a power of ten both exact as doubles: one division rounds right.
    constexpr __int128 exact = __int128(1) << 53;
    if (d.digits < exact && d.digits > -exact && d.scale <= 22) {
        static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        return double((long long)d.digits) / powers[d.scale];
    }
    const QByteArray text = decimalText(d);
    double value = 0;
    std::from_chars(text.constData(), text.constData() + text.size(), value);
    return value;
}

} // namespace corvane
