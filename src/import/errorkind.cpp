// SPDX-License-Identifier: Apache-2.0
#include "errorkind.h"

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>

namespace corvane {

namespace {

bool missing(const QString &file)
{
    if (file.isEmpty()) return false;
    struct stat st;
    return ::lstat(QFile::encodeName(file).constData(), &st) != 0 && errno == ENOENT;
}

} // namespace

ErrorKind readErrorKind(const QString &message, const QString &file, bool formatKnown)
{
    // The readers' own words for these, wherever they stand in the message.
    static const QRegularExpression cut(QStringLiteral("cut short|is cut|ends (before|early)"));
    static const QRegularExpression badNumber(
        QStringLiteral("(not an?|no|lacks an?) [a-z -]*number"));
    static const QRegularExpression notTracks(
        QStringLiteral("not a track file|is empty, so it holds no tracks|no track rows found|"
                       "holds NUL bytes|so it is not an? "));
    if (missing(file)) return ErrorKind::NotFound;
    if (cut.match(message).hasMatch()) return ErrorKind::CutShort;
    if (badNumber.match(message).hasMatch()) return ErrorKind::BadNumber;
    if (!formatKnown || notTracks.match(message).hasMatch()) return ErrorKind::NotATrackFile;
    return ErrorKind::UnsupportedLayout;
}

} // namespace corvane
