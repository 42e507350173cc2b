// SPDX-License-Identifier: Apache-2.0
// Counts as people read them: "1 track", "12,400 rows" (the locale's
// digit grouping).
#pragma once

#include <QLocale>
#include <QString>

inline QString counted(qint64 n, const QString &one, const QString &many)
{
    return QLocale().toString(n) + QLatin1Char(' ') + (n == 1 ? one : many);
}
