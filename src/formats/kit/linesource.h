// SPDX-License-Identifier: Apache-2.0
// The lines of a text given one after another, as a reader that needs only
// the line at hand takes them: from bytes in memory, or from a file read
// piece by piece (see import/filetext.h), so that such a reader holds a few
// megabytes of a file of any size. Lines are cut as LineScanner cuts them.
#pragma once

#include "formats/trackset.h"
#include "textscan.h"

#include <QByteArray>
#include <QString>

#include <cstring>
#include <vector>

namespace corvane {

class LineSource
{
public:
    explicit LineSource(const QByteArray &data);
    virtual ~LineSource() = default;
    LineSource(const LineSource &) = delete;
    LineSource &operator=(const LineSource &) = delete;

    // The next line, valid until the next call; false at the end of the
    // text, or when it cannot be read on (error() then says why). Inline for
    // a line in the buffer: a large file is a hundred million short lines.
    bool next(Field &line)
    {
        if (m_pos < m_end) {
            if (const char *nl =
                    static_cast<const char *>(std::memchr(m_pos, '\n', size_t(m_end - m_pos)))) {
                line = {m_pos, nl > m_pos && nl[-1] == '\r' ? nl - 1 : nl};
                m_pos = nl + 1;
                ++m_number;
                return true;
            }
        }
        return nextAfterBuffer(line);
    }
    int number() const { return m_number; } // of the last line given, from 1
    // The last line given was the text's last, and no line end closed it.
    bool endsInsideALine() const { return m_unended; }
    // The text's size in bytes, for readers that size their tables by it.
    qint64 size() const { return m_size; }
    // The whole text, for a reader that needs more than the line at hand;
    // empty, with error() set, when it cannot be had.
    virtual QByteArray whole() { return m_text; }
    const QString &error() const { return m_error; }

protected:
    LineSource() = default;
    // Puts up to room more bytes of the text at into: how many, 0 at its
    // end, -1 when it cannot (after setError).
    virtual qint64 fill(char *into, qint64 room)
    {
        Q_UNUSED(into);
        Q_UNUSED(room);
        return 0;
    }
    void setError(const QString &error) { m_error = error; }
    void setSize(qint64 size) { m_size = size; }
    // From now on the lines are those of text, all in memory.
    void useText(const QByteArray &text);

private:
    bool nextAfterBuffer(Field &line);
    bool refill();

    QByteArray m_text; // the text, when it is all in memory
    std::vector<char> m_buffer;
    const char *m_pos = nullptr;
    const char *m_end = nullptr;
    bool m_final = false;
    int m_number = 0;
    bool m_unended = false;
    qint64 m_size = 0;
    QString m_error;
};

using LineReadFunction = ReadResult (*)(LineSource &lines, const QString &fileName);

// A line reader as a reader of bytes in memory.
template <LineReadFunction Read>
ReadResult readLinesOf(const QByteArray &data, const QString &fileName)
{
    LineSource lines(data);
    return Read(lines, fileName);
}

} // namespace corvane
