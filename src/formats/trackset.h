// SPDX-License-Identifier: Apache-2.0
// What one reader returns: the rows of a file, before they reach the table,
// or why the file could not be read.
#pragma once

#include "errorkind.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace corvane {

// The rows' track names. Rows of one track follow each other and share
// their name, so the names are kept per run of rows, not per row.
class RowNames
{
public:
    void append(const QString &name)
    {
        if (m_runs.isEmpty() || m_runs.constLast() != name) {
            m_runs.append(name);
            m_starts.push_back(m_size);
        }
        ++m_size;
    }
    // Appends another list's rows after these (a run that goes on joins).
    void append(const RowNames &later)
    {
        for (qsizetype run = 0; run < later.m_runs.size(); ++run) {
            const qsizetype start = later.m_starts[size_t(run)];
            const qsizetype end =
                run + 1 < later.m_runs.size() ? later.m_starts[size_t(run) + 1] : later.m_size;
            if (m_runs.isEmpty() || m_runs.constLast() != later.m_runs.at(run)) {
                m_runs.append(later.m_runs.at(run));
                m_starts.push_back(m_size);
            }
            m_size += end - start;
        }
    }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const QString &at(qsizetype row) const { return m_runs.at(qsizetype(runOf(row))); }
    const QString &operator[](qsizetype row) const { return at(row); }
    const QString &first() const { return at(0); }
    const QString &last() const { return at(size() - 1); }
    QString value(qsizetype row) const { return row >= 0 && row < size() ? at(row) : QString(); }
    // The name of each run of rows, in order (a name may come back later).
    const QStringList &runs() const { return m_runs; }
    // The first row of each run.
    const std::vector<qsizetype> &runStarts() const { return m_starts; }
    // Which run a row belongs to.
    quint32 runOf(qsizetype row) const
    {
        auto it = std::upper_bound(m_starts.begin(), m_starts.end(), row);
        return quint32(it - m_starts.begin() - 1);
    }
    QStringList toList() const
    {
        QStringList out;
        out.reserve(size());
        for (qsizetype row = 0; row < m_size; ++row)
            out.append(at(row));
        return out;
    }

private:
    QStringList m_runs;
    std::vector<qsizetype> m_starts;
    qsizetype m_size = 0;
};

struct TrackSet
{
    QString firstFrame; // the smallest frame, as decimal text
    int count = 0;      // rows
    RowNames names;     // per row
    std::vector<int> frames;
    std::vector<double> x;
    std::vector<double> y;
    int plateWidth = 0; // 0 when the file does not state it
    int plateHeight = 0;

    void append(const QString &name, int frame, double xv, double yv)
    {
        names.append(name);
        frames.push_back(frame);
        x.push_back(xv);
        y.push_back(yv);
        ++count;
    }
    // Appends another set's rows after these.
    void append(const TrackSet &later)
    {
        names.append(later.names);
        frames.insert(frames.end(), later.frames.begin(), later.frames.end());
        x.insert(x.end(), later.x.begin(), later.x.end());
        y.insert(y.end(), later.y.begin(), later.y.end());
        count += later.count;
    }
    void reserve(int rows)
    {
        frames.reserve(size_t(rows));
        x.reserve(size_t(rows));
        y.reserve(size_t(rows));
    }
};

// What a reading left out or changed, counted by what it was; its notes
// say what and where. Notes that only inform count nowhere here.
struct LeftOut
{
    int tracks = 0, shapes = 0, rows = 0, keys = 0;
    int changed = 0;   // things read otherwise than the file means them
    QString first;     // the first such note
    int firstLine = 0; // its line, where it names one

    bool any() const { return tracks + shapes + rows + keys + changed > 0; }
};

struct ReadResult
{
    TrackSet set;
    QString error; // empty when the file was read
    int line = 0;  // the line the error is about; 0 for the whole file
    ErrorKind kind = ErrorKind::UnsupportedLayout; // what the error is
    // The file promises more than it holds (its own counts): what was read
    // is in set, and this says what is missing.
    QString cutShort;
    // What the reader left out and why (each naming its line), for the user.
    QStringList notes;
    LeftOut leftOut; // the notes that say something was left out or changed

    bool ok() const { return error.isEmpty(); }
    static ReadResult failure(const QString &reason, int line = 0,
                              ErrorKind kind = ErrorKind::UnsupportedLayout)
    {
        ReadResult r;
        r.error = reason;
        r.line = line;
        r.kind = kind;
        return r;
    }
};

} // namespace corvane
