// SPDX-License-Identifier: Apache-2.0
#include "tracknames.h"

#include <cstring>

namespace corvane {

bool isShapeTrack(const QString &name)
{
    return name.startsWith(QLatin1Char('S'));
}

QString shapePrefix(const QString &name)
{
    qsizetype underscore = name.indexOf(QLatin1Char('_'));
    return underscore < 0 ? name : name.left(underscore);
}

bool isOpenShapeTrack(const QString &name)
{
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    return isShapeTrack(name) && underscore >= 0 &&
           QStringView(name).mid(underscore + 1).startsWith(QLatin1String(openVertexWord));
}

QString openShapeVertexName(int shape, int vertex)
{
    return QStringLiteral("S%1_%2%3")
        .arg(shape, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(openVertexWord))
        .arg(vertex, 4, 10, QLatin1Char('0'));
}

QString shapeVertexName(int shape, int vertex)
{
    if (shape < 0 || vertex < 0)
        return QStringLiteral("S%1_Track_%2")
            .arg(shape, 2, 10, QLatin1Char('0'))
            .arg(vertex, 4, 10, QLatin1Char('0'));
    // Made by hand: readers name a vertex per shape read, a million times.
    char text[40];
    char *p = text;
    auto put = [&p](int value, int width) {
        char digits[12];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value);
        for (int fill = n; fill < width; ++fill)
            *p++ = '0';
        while (n)
            *p++ = digits[--n];
    };
    *p++ = 'S';
    put(shape, 2);
    std::memcpy(p, "_Track_", 7);
    p += 7;
    put(vertex, 4);
    return QString::fromLatin1(text, p - text);
}

} // namespace corvane
