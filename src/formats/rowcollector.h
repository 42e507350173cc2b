// What every reader does with the rows it finds: reads their numbers
// strictly (a frame is a whole number Corvane can shift, a coordinate a
// finite number), keeps the smallest frame, and stops at the first bad
// field with an error that names the line and the field.
#pragma once

#include "textscan.h"
#include "trackset.h"

namespace corvane {

// Frames Corvane reads: far enough from the integer limits that any shift
// to a first frame the settings allow stays in range.
constexpr int FrameLimit = 1000000000;

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
    // Adds a row; false (and the error kept) when a field is not a number.
    bool add(const QString &name, Field frame, Field x, Field y, int line);
    bool add(const QString &name, int frame, Field x, Field y, int line);
    // A row whose numbers were read already (with frame() and coordinate()).
    void addValues(const QString &name, int frame, double x, double y);

    // Reads one field; false (and the error kept) when it is not a number.
    bool frame(Field f, int line, int &out);
    bool coordinate(Field f, const char *axis, int line, double &out);

    void fail(const QString &reason, int line);
    // The file promises more than it holds: what was read is kept.
    void cutShort(const QString &reason);
    bool failed() const { return !m_error.isEmpty(); }
    int count() const { return m_set.count; }
    void reserve(int rows) { m_set.reserve(rows); }
    TrackSet &set() { return m_set; }

    // The rows and their first frame, or the error.
    ReadResult finish();

private:
    TrackSet m_set;
    long long m_smallest = 0;
    QString m_error;
    int m_errorLine = 0;
    QString m_cutShort;
};

// Files of one row per line, "name frame x y …": every line whose fields
// isRow accepts is a row, its name through the name rule; other lines are
// skipped.
ReadResult readNamedRows(const QByteArray &data, bool (*isRow)(const std::vector<Field> &));

} // namespace corvane
