// SPDX-License-Identifier: Apache-2.0
#include "tracknamefile.h"

#include "rowcollector.h"
#include "table/namerule.h"

#include <cstring>

namespace corvane {

namespace {

constexpr char trackNamePrefix[] = "TrackName ";
constexpr size_t prefixLength = sizeof trackNamePrefix - 1;

bool isTrackNameLine(Field line)
{
    return size_t(line.end - line.begin) > prefixLength &&
           std::memcmp(line.begin, trackNamePrefix, prefixLength) == 0;
}

// A frame as these files write it, "12.00": the part before ".00".
Field withoutDecimals(Field f)
{
    for (const char *p = f.begin; p + 3 <= f.end; ++p) {
        if (p[0] == '.' && p[1] == '0' && p[2] == '0') {
            f.end = p;
            break;
        }
    }
    return f;
}

// The frame, X, Y and correlation fields of a sample line; false for the
// heading and lines without a frame, X and Y.
bool sampleFields(Field line, std::vector<Field> &fields)
{
    splitTrimmed(line, fields);
    if (fields.size() < 3 || fields[0].equals("Frame")) return false;
    bool number = false;
    fieldToDouble(fields[0], &number);
    return number || *fields[0].begin == '-' ||
           (*fields[0].begin >= '0' && *fields[0].begin <= '9');
}

} // namespace

ReadResult readTrackNameBlocks(const QByteArray &data, TrackNames names)
{
    RowCollector rows;
    QString name = QStringLiteral("autotrack0"); // for a file without a TrackName line
    std::vector<Field> fields;
    LineScanner scanner(data);
    Field line;
    while (!rows.failed() && scanner.next(line)) {
        if (isTrackNameLine(line)) {
            // The rest of the line is the name, blanks and all.
            name = fieldToString({line.begin + prefixLength, line.end});
            if (names == TrackNames::NameRule) name = applyNameRule(name);
            continue;
        }
        if (!sampleFields(line, fields)) continue;
        rows.add(name, withoutDecimals(fields[0]), fields[1], fields[2], scanner.number());
    }
    return refuseCutRow(rows.finish(), data);
}

Streamed streamTrackNameBlocks(LineSource &lines, RowStream &out, TrackNames names)
{
    StreamedRows rows(out);
    QString name = QStringLiteral("autotrack0");
    std::vector<Field> fields;
    Field line;
    while (rows.nextLine(lines, line, fields)) {
        if (isTrackNameLine(line)) {
            name = fieldToString({line.begin + prefixLength, line.end});
            if (names == TrackNames::NameRule) name = applyNameRule(name);
            continue;
        }
        if (!sampleFields(line, fields)) continue;
        const Streamed added =
            rows.add(name, withoutDecimals(fields[0]), fields[1], fields[2], lines.number());
        if (added != Streamed::Read) return added;
    }
    return rows.finish(lines);
}

bool hasTrackNameBlocks(const QByteArray &data)
{
    if (!data.startsWith(trackNamePrefix) && !data.contains("\nTrackName ")) return false;
    ReadResult read = readTrackNameBlocks(headLines(data), TrackNames::AsWritten);
    return read.set.count > 0 || !read.ok();
}

qsizetype trackNameBlockCount(const QByteArray &data)
{
    return (data.startsWith(trackNamePrefix) ? 1 : 0) + data.count("\nTrackName ");
}

TrackNameWriter trackNameWriter(const QByteArray &data)
{
    const QByteArray head = headLines(data);
    LineScanner scanner(head);
    Field line;
    std::vector<Field> fields;
    int samples = 0, endingInBlank = 0;
    bool sameLength = true, otherCorrelation = false;
    qsizetype length = -1;
    while (scanner.next(line)) {
        if (isTrackNameLine(line) || !sampleFields(line, fields)) continue;
        ++samples;
        if (line.end > line.begin && (line.end[-1] == ' ' || line.end[-1] == '\t')) ++endingInBlank;
        if (length >= 0 && line.end - line.begin != length) sameLength = false;
        length = line.end - line.begin;
        if (fields.size() >= 4 && !fields[3].equals("1.000")) otherCorrelation = true;
    }
    if (samples == 0) return TrackNameWriter::Unknown;
    if (endingInBlank == 0 && sameLength) return TrackNameWriter::Nuke;
    if (endingInBlank == samples && otherCorrelation) return TrackNameWriter::Shake;
    return TrackNameWriter::Unknown;
}

} // namespace corvane
