// SPDX-License-Identifier: Apache-2.0
// What every reader does with the rows it finds: reads their numbers
// strictly (a frame is a whole number Corvane can shift, a coordinate a
// finite number), keeps the smallest frame, and stops at the first bad
// field with an error that names the line and the field.
#pragma once

#include <cmath>

#include "formats/trackset.h"
#include "rowstream.h"
#include "table/framelimit.h"
#include "table/parallel.h"
#include "textscan.h"

namespace corvane {

// Rows come in runs of one name: makes each run's name once.
class NameRuns
{
public:
    // The name of raw, through the name rule where asked.
    const QString &name(Field raw, bool nameRule);

private:
    QByteArray m_raw;
    QString m_name;
    bool m_any = false;
};

class RowCollector
{
public:
    // How often (in rows, a power of two) a reading looks for a stop request.
    static constexpr int StopCheckRows = 4096;

    // Adds a row; false (and the error kept) when a field is not a number,
    // or when a stop was requested (stoppedMessage, line 0).
    bool add(const QString &name, Field frame, Field x, Field y, int line);
    bool add(const QString &name, int frame, Field x, Field y, int line);
    // A row whose numbers were read already (with frame() and coordinate());
    // a stop request makes failed() true.
    void addValues(const QString &name, int frame, double x, double y);

    // Reads one field; false (and the error kept) when it is not a number.
    bool frame(Field f, int line, int &out);
    bool coordinate(Field f, const char *axis, int line, double &out);

    void fail(const QString &reason, int line, ErrorKind kind = ErrorKind::UnsupportedLayout);
    // The file promises more than it holds: what was read is kept.
    void cutShort(const QString &reason);
    bool failed() const { return !m_error.isEmpty(); }
    // Takes the rows a later piece of the file read after these, its lines
    // numbered from linesBefore on; its error counts if these had none.
    void append(RowCollector &&later, int linesBefore);
    int count() const { return m_set.count; }
    void reserve(int rows) { m_set.reserve(rows); }
    TrackSet &set() { return m_set; }

    // The rows and their first frame, or the error.
    ReadResult finish();
    // The same, with nothingRead as the error when no row was found (a
    // script or setup whose nodes hold nothing animated).
    ReadResult finish(const QString &nothingRead);

private:
    TrackSet m_set;
    long long m_smallest = 0;
    QString m_error;
    int m_errorLine = 0;
    ErrorKind m_errorKind = ErrorKind::UnsupportedLayout;
    QString m_cutShort;
};

// What a reader left out and why, for the user. A file may leave out the
// same kind of thing many times: the first hundred notes are kept and the
// rest counted.
class ReaderNotes
{
public:
    enum Lost { Tracks, Shapes, Rows, Keys, Changed };
    // A note that only informs (a convention applied, a still value read).
    void add(const QString &text);
    // A note that something was left out or read otherwise: count of what.
    void leftOut(const QString &text, Lost what, int count = 1, int line = 0);
    QStringList list() const;
    // Both into a result.
    void into(ReadResult &result) const;

private:
    QStringList m_notes;
    int m_leftOut = 0;
    LeftOut m_counts;
};

// Files of one row per line, "name frame x y …": every line whose fields
// isRow accepts is a row, its name through the name rule; other lines are
// skipped.
ReadResult readNamedRows(const QByteArray &data, bool (*isRow)(const std::vector<Field> &));

// Files of one row per line with no end of their own: a text that stops
// inside its last line (no line end) with fewer or more fields than the
// line before it was cut in a row, and is refused with that line; any
// other reading is returned as it is. (A number cut in its digits cannot
// be told from a shorter one.)
ReadResult refuseCutRow(ReadResult read, const QByteArray &data);

// The field counts (splitTrimmed) of a text's last line and of the nearest
// line before it that holds something other than a comment: a streamed
// reading of a file refuseCutRow may refuse (its last line unended) declines it.
class LastLines
{
public:
    void see(const std::vector<Field> &fields)
    {
        if (m_lastCounts) m_before = m_last;
        m_last = fields.size();
        m_lastCounts = !fields.empty() && *fields[0].begin != '#';
    }
    bool mayBeCut() const { return m_last > 0 && m_before > 0 && m_last != m_before; }

private:
    size_t m_last = 0, m_before = 0;
    bool m_lastCounts = false;
};

// What a streamed reading of rows keeps: the piece being filled, the whole
// reading's checks of the numbers, and the text's last lines.
class StreamedRows
{
public:
    explicit StreamedRows(RowStream &out) : m_rows(out) {}
    // Reads a row's numbers and adds it: Read to go on, Declined for a field
    // that is not a number, Stopped when a stop was asked for or the taker
    // wants no more.
    Streamed add(const QString &name, Field frame, Field x, Field y, int line);
    // Adds a row of numbers read with checks() (for a reader that works its
    // values out): Read to go on, Stopped as for add.
    Streamed addValues(const QString &name, int frame, double x, double y);
    // The whole reading's checks of a number; one that fails declines.
    RowCollector &checks() { return m_check; }
    // The end of the text: the last piece handed on, unless nothing was
    // read or the last line may be a cut row.
    Streamed finish(const LineSource &lines);
    void setPlate(int width, int height) { m_rows.setPlate(width, height); }
    // The next line and its fields (splitTrimmed), seen as the text's last
    // line so far; false at the end of the text.
    bool nextLine(LineSource &lines, Field &line, std::vector<Field> &fields)
    {
        if (!lines.next(line)) return false;
        splitTrimmed(line, fields);
        m_last.see(fields);
        return true;
    }

private:
    LastLines m_last;
    PieceFiller m_rows;
    RowCollector m_check;
    qint64 m_read = 0;
};

// readNamedRows in pieces (see rowstream.h), for a file it reads whole.
Streamed streamNamedRows(LineSource &lines, RowStream &out,
                         bool (*isRow)(const std::vector<Field> &));

// Reads a large text in pieces on all cores, for files whose lines are
// read each on its own (a line's rows depend on no earlier line but by the
// name they share): readPiece(scanner, rows) reads the lines of one piece,
// numbered from 1 within it. The pieces' rows and errors are gathered in
// order, so the result is that of reading the text in one piece.
template <typename ReadPiece>
ReadResult readLinesInPieces(const QByteArray &data, ReadPiece readPiece)
{
    const std::vector<const char *> cuts = cutAtLines(data, textPieces(data.size()));
    const int pieces = int(cuts.size()) - 1;
    std::vector<RowCollector> rows(size_t(std::max(pieces, 1)));
    std::vector<int> lines(rows.size(), 0);
    forEachPiece(pieces, [&](int p) {
        LineScanner scanner(cuts[size_t(p)], cuts[size_t(p) + 1]);
        readPiece(scanner, rows[size_t(p)]);
        lines[size_t(p)] = scanner.number();
    });
    int linesBefore = lines[0];
    for (size_t p = 1; p < rows.size(); ++p) {
        rows[0].append(std::move(rows[p]), linesBefore);
        linesBefore += lines[p];
    }
    return rows[0].finish();
}

} // namespace corvane
