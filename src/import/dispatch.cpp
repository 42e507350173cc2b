// SPDX-License-Identifier: Apache-2.0
#include "dispatch.h"

#include "errorkind.h"
#include "filetext.h"
#include "formats/kit/stoprequest.h"
#include "formats/kit/textscan.h"
#include "formats/registry.h"
#include "table/tracktable.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace corvane {

namespace {

ReadResult fileError(const QString &path, const QString &reason, int line = 0,
                     ErrorKind kind = ErrorKind::UnsupportedLayout)
{
    QString where = QDir::toNativeSeparators(path);
    if (line > 0) where += QStringLiteral(", line %1").arg(line);
    return ReadResult::failure(where + QStringLiteral(": ") + printableText(reason), line, kind);
}

// A file that cannot be read as text (NUL bytes, over-long lines, changed
// while read): the file's fault, in words of the file layer.
ReadResult textError(const QString &message, const QString &path)
{
    return ReadResult::failure(message, 0, readErrorKind(message, path, true));
}

} // namespace

ReadResult dispatch(const QString &path, const QString &formatFilter,
                    std::atomic<qint64> *bytesRead)
{
    const Format *format = formatForImportFilter(formatFilter);
    if (!format)
        return fileError(
            path, QStringLiteral("reading %1 files is not available yet.").arg(formatFilter));
    return dispatch(path, *format, bytesRead);
}

namespace {

// A line too long for the chosen format rules out that format, not every
// one (scripts hold a curve on one line).
QString namingFormat(const QString &error, const QString &path, const Format &format)
{
    if (error != longLineMessage(path, format.maxLineLength)) return error;
    return fileError(path, QStringLiteral("has a line longer than %1 MB, so it is not a %2 file.")
                               .arg(format.maxLineLength >> 20)
                               .arg(QLatin1String(format.name)))
        .error;
}

} // namespace

ReadResult dispatch(const QString &path, const Format &chosen, std::atomic<qint64> *bytesRead)
{
    const Format *format = &chosen;
    if (!format->read)
        return fileError(path, QStringLiteral("reading %1 files is not available yet.")
                                   .arg(QLatin1String(format->name)));
    if (const QString empty = emptyFileProblem(path); !empty.isEmpty())
        return ReadResult::failure(empty, 0, ErrorKind::NotATrackFile);
    if (format->readLines) {
        FileLines lines(path, format->maxLineLength, bytesRead);
        ReadResult result = format->readLines(lines, path);
        // A stopped reading says so, whatever the reader made of it.
        if (stopRequested()) return ReadResult::failure(QString::fromLatin1(stoppedMessage));
        if (!lines.error().isEmpty())
            return textError(namingFormat(lines.error(), path, *format), path);
        return checkedRead(std::move(result), path, *format);
    }
    const FileText text = loadTrackFile(path, format->maxLineLength, {}, bytesRead);
    if (!text.ok()) return textError(namingFormat(text.error, path, *format), path);
    ReadResult result = readBytes(text.bytes, path, *format);
    if (stopRequested()) return ReadResult::failure(QString::fromLatin1(stoppedMessage));
    return result;
}

ReadResult readBytes(const QByteArray &data, const QString &path, const Format &format)
{
    return checkedRead(format.read(data, path), path, format);
}

ReadResult checkedRead(ReadResult result, const QString &path, const Format &format)
{
    if (!result.ok()) return fileError(path, result.error, result.line, result.kind);
    TrackSet &set = result.set;
    // A reader gives at least count entries; never trust more than it holds.
    int held = int(std::min({qsizetype(set.names.size()), qsizetype(set.frames.size()),
                             qsizetype(set.x.size()), qsizetype(set.y.size())}));
    set.count = std::clamp(set.count, 0, held);
    if (set.count == 0)
        return fileError(path,
                         QStringLiteral("no track rows found: it is not a %1 file.")
                             .arg(QLatin1String(format.name)),
                         0, ErrorKind::NotATrackFile);
    if (!format.statesPlate) set.plateWidth = set.plateHeight = 0;
    for (QString &note : result.notes)
        note = QDir::toNativeSeparators(path) + QStringLiteral(", ") + note;
    if (!result.leftOut.first.isEmpty())
        result.leftOut.first =
            QDir::toNativeSeparators(path) + QStringLiteral(", ") + result.leftOut.first;
    if (!result.cutShort.isEmpty())
        result.cutShort =
            QDir::toNativeSeparators(path) + QStringLiteral(" is cut short: ") + result.cutShort;
    return result;
}

FillRange prepareFill(TrackTable &table, int count, bool append)
{
    FillRange range;
    if (append) {
        range.first = table.rowCount();
    } else {
        table.setRowCount(0);
    }
    range.end = range.first + count;
    table.setColumnCount(TrackColumnCount);
    table.reserveRows(range.end);
    table.setRowCount(range.end);
    return range;
}

int fillRows(TrackTable &table, const TrackSet &set, FillRange range, const QString &formatFilter,
             const FillProgress &progress)
{
    constexpr int progressStep = 4096;
    const quint8 source = table.internSource(formatFilter);
    table.reserveNames(set.names.runs().size());
    // Each run of rows shares one name: intern it once.
    const std::vector<qsizetype> &starts = set.names.runStarts();
    int written = 0;
    const int count = std::min({range.end - range.first, set.count, int(set.names.size())});
    size_t run = 0;
    quint32 lastId = 0;
    for (int k = 0; k < count; ++k) {
        if (k % progressStep == 0 && (stopRequested() || (progress && !progress(k))))
            return written;
        if (k == 0 || (run + 1 < starts.size() && starts[run + 1] == k)) {
            if (k > 0) ++run;
            lastId = table.internName(set.names.runs().at(qsizetype(run)));
        }
        table.setImportedRow(range.first + k, lastId, set.frames[size_t(k)], set.x[size_t(k)],
                             set.y[size_t(k)], source);
        ++written;
    }
    if (progress) progress(written);
    return written;
}

} // namespace corvane
