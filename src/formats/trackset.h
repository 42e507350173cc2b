// What one reader returns: the rows of a file, before they reach the table,
// or why the file could not be read.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace corvane {

struct TrackSet
{
    QString firstFrame; // the smallest frame, as decimal text
    int count = 0;      // rows
    QStringList names;  // per row
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
