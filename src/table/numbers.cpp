// SPDX-License-Identifier: Apache-2.0
#include "numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

// %.6f of v from its value times a million, where that is safely away from
// a tie: below a million the product is off by less than 1e-4 of a unit, so
// its nearest integer is the rounded sixth decimal. 0 where it cannot tell.
int fastFixed6(char *buf, double v)
{
    if (!(std::fabs(v) < 1e6)) return 0;
    const double scaled = v * 1e6;
    const double nearest = std::nearbyint(scaled);
    if (std::fabs(scaled - nearest) >= 0.499) return 0;
    long long n = (long long)nearest;
    char *p = buf;
    if (n < 0 || (n == 0 && std::signbit(v))) *p++ = '-';
    unsigned long long u = n < 0 ? (unsigned long long)(-n) : (unsigned long long)n;
    auto res = std::to_chars(p, p + 24, u / 1000000);
    p = res.ptr;
    *p++ = '.';
    unsigned long long fraction = u % 1000000;
    for (int i = 5; i >= 0; --i) {
        p[i] = char('0' + fraction % 10);
        fraction /= 10;
    }
    return int(p + 6 - buf);
}

// Writes v into buf as printf would with %.6f or %.6g; returns the length.
int format(char *buf, int size, double v, std::chars_format fmt)
{
    if (std::isnan(v)) {
        std::memcpy(buf, "nan", 3);
        return 3;
    }
    if (std::isinf(v)) {
        if (v < 0) {
            std::memcpy(buf, "-inf", 4);
            return 4;
        }
        std::memcpy(buf, "inf", 3);
        return 3;
    }
    if (fmt == std::chars_format::fixed) {
        if (int n = fastFixed6(buf, v)) return n;
    }
    auto res = std::to_chars(buf, buf + size, v, fmt, 6);
    return int(res.ptr - buf);
}

} // namespace

constexpr int BufSize = 400; // large enough for %.6f of the largest double
static_assert(MaxDecimal6Length == BufSize);

namespace {

QString toQString(const char *buf, int len)
{
    return QString::fromLatin1(buf, len);
}

double parse(const char *buf, int len)
{
    double d = 0;
    std::from_chars(buf, buf + len, d);
    return d;
}

} // namespace

QString fixed6(double v)
{
    char buf[BufSize];
    return toQString(buf, format(buf, BufSize, v, std::chars_format::fixed));
}

QString general6(double v)
{
    char buf[BufSize];
    return toQString(buf, format(buf, BufSize, v, std::chars_format::general));
}

double roundFixed6(double v)
{
    if (!std::isfinite(v)) return v;
    // Below a million, v * 1e6 is off by less than 1e-4 of a unit, so where
    // it is not close to a half the nearest integer is the rounded 6th
    // decimal, and dividing it by 1e6 gives the double that text reads as.
    if (std::fabs(v) < 1e6) {
        double scaled = v * 1e6;
        double nearest = std::nearbyint(scaled);
        if (std::fabs(scaled - nearest) < 0.499) return nearest / 1e6;
    }
    char buf[BufSize];
    return parse(buf, format(buf, BufSize, v, std::chars_format::fixed));
}

namespace {

// QByteArray::append goes through its general insert; a file is made of
// hundreds of millions of small appends at its end.
void appendBytes(QByteArray &out, const char *text, int length)
{
    const qsizetype size = out.size();
    if (out.capacity() - size < length)
        out.reserve(size + std::max<qsizetype>(length, size / 2 + 64));
    out.resize(size + length);
    std::memcpy(out.data() + size, text, size_t(length));
}

} // namespace

int formatDecimal6(char *buf, double v)
{
    int len = format(buf, BufSize, v, std::chars_format::fixed);
    const char *point = static_cast<const char *>(std::memchr(buf, '.', size_t(len)));
    if (point) {
        while (buf[len - 1] == '0')
            --len;
        if (buf[len - 1] == '.') --len;
    }
    if (len == 2 && buf[0] == '-' && buf[1] == '0') {
        buf[0] = '0';
        len = 1;
    }
    return len;
}

void appendDecimal6(QByteArray &out, double v)
{
    char buf[BufSize];
    appendBytes(out, buf, formatDecimal6(buf, v));
}

int formatFixedExact(char *buf, double v)
{
    static_assert(MaxFixedExactLength <= BufSize);
    if (!std::isfinite(v)) return format(buf, MaxFixedExactLength, v, std::chars_format::fixed);
    auto res = std::to_chars(buf, buf + MaxFixedExactLength - 8, v, std::chars_format::fixed);
    int length = int(res.ptr - buf);
    const char *point = static_cast<const char *>(std::memchr(buf, '.', size_t(length)));
    int decimals = 0;
    if (point)
        decimals = int(buf + length - point - 1);
    else
        buf[length++] = '.';
    for (; decimals < 6; ++decimals)
        buf[length++] = '0';
    return length;
}

void appendFixedExact(QByteArray &out, double v)
{
    char buf[MaxFixedExactLength];
    appendBytes(out, buf, formatFixedExact(buf, v));
}

int formatFixed6(char *buf, double v)
{
    return format(buf, MaxFixed6Length, v, std::chars_format::fixed);
}

void appendFixed6(QByteArray &out, double v)
{
    char buf[BufSize];
    appendBytes(out, buf, format(buf, BufSize, v, std::chars_format::fixed));
}

void appendInt(QByteArray &out, long long v)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    appendBytes(out, buf, int(res.ptr - buf));
}

double toDouble(QStringView text, bool *ok)
{
    bool good = false;
    double d = text.trimmed().toDouble(&good);
    if (ok) *ok = good;
    return good ? d : 0.0;
}

int toInt(QStringView text, bool *ok)
{
    bool good = false;
    int i = text.trimmed().toInt(&good, 10);
    if (ok) *ok = good;
    return good ? i : 0;
}

} // namespace corvane
