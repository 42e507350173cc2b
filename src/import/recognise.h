// SPDX-License-Identifier: Apache-2.0
// Recognition: the cheap first-line test of a file against the chosen format.
#pragma once

#include <QString>

namespace corvane {

struct Recognised
{
    QString status;  // "ok", "no", or empty for a filter no format has
    QString message; // with "no": what to tell the user
    bool ok() const { return status == QLatin1String("ok"); }
};

// The file's first line, as a text stream reads it ("" when it cannot be opened).
QString firstLine(const QString &path);

struct Format;
Recognised recognise(const QString &path, const QString &formatFilter);
Recognised recognise(const QString &path, const Format &format);

// The test itself, on a first line already read.
Recognised recogniseLine(const QString &line, const Format &format);
// The first line of a file's decoded text.
QString firstLineOf(const QByteArray &text);

} // namespace corvane
