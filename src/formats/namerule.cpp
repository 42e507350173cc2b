// SPDX-License-Identifier: Apache-2.0
#include "namerule.h"

namespace corvane {

QString applyNameRule(const QString &name)
{
    qsizetype last = name.lastIndexOf(QLatin1Char('_'));
    if (last < 0) return name;
    qsizetype numberLength = name.size() - last - 1;
    if (numberLength < 1 || numberLength > 3) return name;
    return name.left(last + 1) + QString(4 - numberLength, QLatin1Char('0')) + name.mid(last + 1);
}

} // namespace corvane
