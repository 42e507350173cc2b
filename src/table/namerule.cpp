// SPDX-License-Identifier: Apache-2.0
#include "namerule.h"

#include <algorithm>

namespace corvane {

QString applyNameRule(const QString &name)
{
    qsizetype last = name.lastIndexOf(QLatin1Char('_'));
    if (last < 0) return name;
    const QStringView number = QStringView(name).mid(last + 1);
    if (number.size() < 1 || number.size() > 3) return name;
    // Only a number is padded: "a_b" and "naïve_ü" keep their names.
    if (!std::all_of(number.begin(), number.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return name;
    return name.left(last + 1) + QString(4 - number.size(), QLatin1Char('0')) + number.toString();
}

} // namespace corvane
