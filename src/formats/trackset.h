// What one reader returns: the rows of a file, before they reach the table,
// or why the file could not be read.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace corvane {

// The rows' track names. Rows of one track follow each other and share
// their name, so a row holds the index of a run's name, not a name.
class RowNames
{
public:
    void append(const QString &name)
    {
        if (m_runs.isEmpty() || m_runs.constLast() != name) m_runs.append(name);
        m_run.push_back(quint32(m_runs.size() - 1));
    }
    void reserve(int rows) { m_run.reserve(size_t(rows)); }
    qsizetype size() const { return qsizetype(m_run.size()); }
    bool isEmpty() const { return m_run.empty(); }
    const QString &at(qsizetype row) const { return m_runs.at(m_run[size_t(row)]); }
    const QString &operator[](qsizetype row) const { return at(row); }
    const QString &first() const { return at(0); }
    const QString &last() const { return at(size() - 1); }
    QString value(qsizetype row) const { return row >= 0 && row < size() ? at(row) : QString(); }
    // The name of each run of rows, in order (a name may come back later).
    const QStringList &runs() const { return m_runs; }
    // Which run a row belongs to.
    quint32 runOf(qsizetype row) const { return m_run[size_t(row)]; }
    QStringList toList() const
    {
        QStringList out;
        out.reserve(size());
        for (quint32 run : m_run)
            out.append(m_runs.at(run));
        return out;
    }

private:
    QStringList m_runs;
    std::vector<quint32> m_run;
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
    void reserve(int rows)
    {
        names.reserve(rows);
        frames.reserve(size_t(rows));
        x.reserve(size_t(rows));
        y.reserve(size_t(rows));
    }
};

struct ReadResult
{
    TrackSet set;
    QString error; // empty when the file was read
    int line = 0;  // the line the error is about; 0 for the whole file
    // The file promises more than it holds (its own counts): what was read
    // is in set, and this says what is missing.
    QString cutShort;
    // What the reader left out and why (each naming its line), for the user.
    QStringList notes;

    bool ok() const { return error.isEmpty(); }
    static ReadResult failure(const QString &reason, int line = 0)
    {
        ReadResult r;
        r.error = reason;
        r.line = line;
        return r;
    }
};

} // namespace corvane
