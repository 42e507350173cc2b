// SPDX-License-Identifier: Apache-2.0
#include "rowcollector.h"

#include "stoprequest.h"
#include "table/namerule.h"

#include <algorithm>

namespace corvane {

const QString &NameRuns::name(Field raw, bool nameRule)
{
    const QByteArrayView bytes(raw.begin, raw.end - raw.begin);
    if (!m_any || bytes != m_raw) {
        m_raw = bytes.toByteArray();
        m_name = nameRule ? applyNameRule(fieldToString(raw)) : fieldToString(raw);
        m_any = true;
    }
    return m_name;
}

namespace {

// An optional sign and digits: a whole number, whatever its size.
bool isDigits(Field f)
{
    const char *p = f.begin;
    if (p < f.end && (*p == '-' || *p == '+')) ++p;
    return p < f.end && std::all_of(p, f.end, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool RowCollector::frame(Field f, int line, int &out)
{
    bool whole = false;
    out = fieldToInt(f, &whole);
    if (whole && out >= -FrameLimit && out <= FrameLimit) return true;
    const QString text = fieldToString(f);
    if (whole || isDigits(f)) {
        fail(QStringLiteral("the frame \"%1\" is outside the frames Corvane handles (%2 to %3).")
                 .arg(text)
                 .arg(-FrameLimit)
                 .arg(FrameLimit),
             line, ErrorKind::BadNumber);
        return false;
    }
    bool number = false;
    fieldToDouble(f, &number);
    fail(number ? QStringLiteral("the frame \"%1\" is not a whole number.").arg(text)
                : QStringLiteral("the frame \"%1\" is not a number.").arg(text),
         line, ErrorKind::BadNumber);
    return false;
}

bool RowCollector::coordinate(Field f, const char *axis, int line, double &out)
{
    bool ok = false;
    out = fieldToDouble(f, &ok);
    if (ok) return true;
    fail(QStringLiteral("the %1 coordinate \"%2\" is not a finite number.")
             .arg(QLatin1String(axis), fieldToString(f)),
         line, ErrorKind::BadNumber);
    return false;
}

bool RowCollector::add(const QString &name, Field frameField, Field x, Field y, int line)
{
    int f = 0;
    return frame(frameField, line, f) && add(name, f, x, y, line);
}

bool RowCollector::add(const QString &name, int f, Field x, Field y, int line)
{
    double xv = 0, yv = 0;
    if (!coordinate(x, "X", line, xv) || !coordinate(y, "Y", line, yv)) return false;
    addValues(name, f, xv, yv);
    return !failed();
}

void RowCollector::addValues(const QString &name, int f, double x, double y)
{
    if (m_set.count == 0 || f < m_smallest) m_smallest = f;
    m_set.append(name, f, x, y);
    // A stop asked from outside (a signal, Ctrl+C) ends a long reading soon;
    // looked at once in a few thousand rows, it costs nothing per row. The
    // row is kept so that a reader's own tables of the rows stay whole.
    if ((m_set.count & (StopCheckRows - 1)) == 0 && stopRequested())
        fail(QString::fromLatin1(stoppedMessage), 0);
}

void RowCollector::fail(const QString &reason, int line, ErrorKind kind)
{
    if (!failed()) {
        m_error = reason;
        m_errorLine = line;
        m_errorKind = kind;
    }
}

void RowCollector::cutShort(const QString &reason)
{
    if (m_cutShort.isEmpty()) m_cutShort = reason;
}

void RowCollector::append(RowCollector &&later, int linesBefore)
{
    if (failed()) return;
    if (count() == 0 && m_cutShort.isEmpty()) { // nothing here yet: take the piece whole
        *this = std::move(later);
        m_errorLine += linesBefore;
        return;
    }
    if (later.failed()) {
        fail(later.m_error, later.m_errorLine + linesBefore, later.m_errorKind);
        return;
    }
    if (later.count() > 0 && (count() == 0 || later.m_smallest < m_smallest))
        m_smallest = later.m_smallest;
    m_set.append(later.m_set);
    if (!later.m_cutShort.isEmpty()) cutShort(later.m_cutShort);
}

static ReadResult readRowLines(const QByteArray &data, bool (*isRow)(const std::vector<Field> &))
{
    return readLinesInPieces(data, [isRow](LineScanner &scanner, RowCollector &rows) {
        Field line;
        std::vector<Field> fields;
        NameRuns names;
        while (!rows.failed() && scanner.next(line)) {
            splitTrimmed(line, fields);
            if (!fields.empty() && isRow(fields))
                rows.add(names.name(fields[0], true), fields[1], fields[2], fields[3],
                         scanner.number());
        }
    });
}

ReadResult readNamedRows(const QByteArray &data, bool (*isRow)(const std::vector<Field> &))
{
    return refuseCutRow(readRowLines(data, isRow), data);
}

Streamed StreamedRows::add(const QString &name, Field frameField, Field x, Field y, int line)
{
    int frame = 0;
    double xv = 0, yv = 0;
    if (!m_check.frame(frameField, line, frame) || !m_check.coordinate(x, "X", line, xv) ||
        !m_check.coordinate(y, "Y", line, yv))
        return Streamed::Declined;
    return addValues(name, frame, xv, yv);
}

Streamed StreamedRows::addValues(const QString &name, int frame, double x, double y)
{
    m_rows.add(name, frame, x, y);
    if ((++m_read & (RowCollector::StopCheckRows - 1)) == 0 && stopRequested())
        return Streamed::Stopped;
    return m_rows.handOn() ? Streamed::Read : Streamed::Stopped;
}

Streamed StreamedRows::finish(const LineSource &lines)
{
    if (m_read == 0 || (lines.endsInsideALine() && m_last.mayBeCut())) return Streamed::Declined;
    return m_rows.handOn(true) ? Streamed::Read : Streamed::Stopped;
}

Streamed streamNamedRows(LineSource &lines, RowStream &out,
                         bool (*isRow)(const std::vector<Field> &))
{
    StreamedRows rows(out);
    NameRuns names;
    std::vector<Field> fields;
    Field line;
    while (rows.nextLine(lines, line, fields)) {
        if (fields.empty() || !isRow(fields)) continue;
        const Streamed added =
            rows.add(names.name(fields[0], true), fields[1], fields[2], fields[3], lines.number());
        if (added != Streamed::Read) return added;
    }
    return rows.finish(lines);
}

ReadResult refuseCutRow(ReadResult read, const QByteArray &data)
{
    if (!read.ok() || data.isEmpty() || data.endsWith('\n')) return read;
    const qsizetype lastStart = data.lastIndexOf('\n') + 1;
    std::vector<Field> last, before;
    splitTrimmed({data.constData() + lastStart, data.constData() + data.size()}, last);
    // The nearest line before it that holds something other than a comment.
    for (qsizetype end = lastStart - 1; end > 0 && before.empty();) {
        const qsizetype start = data.lastIndexOf('\n', end - 1) + 1;
        splitTrimmed({data.constData() + start, data.constData() + end}, before);
        if (!before.empty() && *before[0].begin == '#') before.clear();
        end = start - 1;
    }
    if (last.empty() || before.empty() || last.size() == before.size()) return read;
    const int line = int(std::count(data.begin(), data.end(), '\n')) + 1;
    return ReadResult::failure(QStringLiteral("the file is cut inside this line: it has %1 "
                                              "fields, the line before it %2.")
                                   .arg(last.size())
                                   .arg(before.size()),
                               line, ErrorKind::CutShort);
}

ReadResult RowCollector::finish()
{
    if (failed()) return ReadResult::failure(m_error, m_errorLine, m_errorKind);
    ReadResult result;
    m_set.firstFrame = QString::number(m_smallest);
    result.set = std::move(m_set);
    result.cutShort = m_cutShort;
    return result;
}

ReadResult RowCollector::finish(const QString &nothingRead)
{
    ReadResult result = finish();
    if (result.ok() && result.set.count == 0)
        return ReadResult::failure(nothingRead, 0, ErrorKind::NotATrackFile);
    return result;
}

void ReaderNotes::add(const QString &text)
{
    if (m_notes.size() < 100)
        m_notes << text;
    else
        ++m_leftOut;
}

void ReaderNotes::leftOut(const QString &text, Lost what, int count, int line)
{
    int *counts[] = {&m_counts.tracks, &m_counts.shapes, &m_counts.rows, &m_counts.keys,
                     &m_counts.changed};
    *counts[what] += count;
    if (m_counts.first.isEmpty()) {
        m_counts.first = text;
        m_counts.firstLine = line;
    }
    add(text);
}

void ReaderNotes::into(ReadResult &result) const
{
    result.notes = list();
    result.leftOut = m_counts;
}

QStringList ReaderNotes::list() const
{
    QStringList out = m_notes;
    if (m_leftOut > 0) out << QStringLiteral("and %1 more notes like these.").arg(m_leftOut);
    return out;
}

} // namespace corvane
