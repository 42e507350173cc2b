// SPDX-License-Identifier: Apache-2.0
#include "decimaltext.h"

#include <algorithm>
#include <charconv>

namespace corvane {

namespace {

// Two such numbers, aligned to the finer scale, stay within 128 bits.
constexpr int MaxDigits = 18;
constexpr int MaxScale = 18;

WideInt power10(int n)
{
    WideInt p = 1;
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

void appendDecimalText(QByteArray &out, Decimal d)
{
    // Trailing zeros of the fraction go first.
    while (d.scale > 0 && d.digits % 10 == 0) {
        d.digits /= 10;
        --d.scale;
    }
    const bool negative = d.digits < 0;
    WideUnsigned v = negative ? 0 - (WideUnsigned)d.digits : (WideUnsigned)d.digits;
    // 39 digits of 128 bits and as many zeros as the scale asks, written from the end.
    char buffer[48 + 2 * MaxScale + 4];
    char *const end = buffer + sizeof buffer;
    char *p = end;
    int written = 0;
    do {
        if (d.scale > 0 && written == d.scale) *--p = '.';
        *--p = char('0' + int(v % 10));
        v /= 10;
        ++written;
    } while (v != 0 || written <= d.scale);
    if (negative) *--p = '-';
    out.append(p, end - p);
}

QByteArray decimalText(Decimal d)
{
    QByteArray text;
    appendDecimalText(text, d);
    return text;
}

double decimalValue(Decimal d)
{
    // Digits and a power of ten both exact as doubles: one division rounds right.
    constexpr WideInt exact = WideInt(1) << 53;
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

std::optional<Decimal> shortestDecimal(double v)
{
    char text[400]; // the longest fixed shortest text of a double is 327 characters
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    if (r.ec != std::errc()) return std::nullopt;
    return parseDecimal(Field{text, r.ptr});
}

bool readsBack(Decimal d)
{
    while (d.scale > 0 && d.digits % 10 == 0) { // as decimalText writes it
        d.digits /= 10;
        --d.scale;
    }
    const WideInt limit = power10(MaxDigits);
    return d.scale <= MaxScale && d.digits < limit && d.digits > -limit;
}

} // namespace corvane
