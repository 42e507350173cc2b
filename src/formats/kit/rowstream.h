// SPDX-License-Identifier: Apache-2.0
// Rows handed on in pieces as a reader finds them, for a conversion that
// never holds the whole table: a file of any size is read, converted and
// written a piece at a time.
#pragma once

#include "formats/trackset.h"
#include "linesource.h"

namespace corvane {

class RowStream
{
public:
    virtual ~RowStream() = default;
    // Takes a piece of rows in file order (and may leave `piece` empty);
    // false when no more are wanted: the reader stops.
    virtual bool take(TrackSet &piece) = 0;
};

// How a streamed reading ended. A reader declines a file its whole reading
// would refuse, note something of, or read otherwise than line by line: the
// whole reading then reads it and says what it says.
enum class Streamed { Read, Declined, Stopped };

// Reads the file's lines into pieces of about StreamPieceRows rows; the
// rows are those the format's read gives, in its order. The file name is
// for formats that name their track after it, as for ReadFunction.
using StreamFunction = Streamed (*)(LineSource &lines, const QString &fileName, RowStream &out);

constexpr int StreamPieceRows = 1 << 15;

// A piece being filled, handed on when full.
class PieceFiller
{
public:
    explicit PieceFiller(RowStream &out) : m_out(out) { m_piece.reserve(StreamPieceRows); }
    // The plate the file states, given with every piece.
    void setPlate(int width, int height)
    {
        m_width = width;
        m_height = height;
        m_piece.plateWidth = width;
        m_piece.plateHeight = height;
    }
    void add(const QString &name, int frame, double x, double y)
    {
        m_piece.append(name, frame, x, y);
    }
    // Hands the piece on when full (or when `last`); false when the taker is done.
    bool handOn(bool last = false)
    {
        if (m_piece.count < StreamPieceRows && !(last && m_piece.count > 0)) return true;
        const bool more = m_out.take(m_piece);
        m_piece = TrackSet();
        m_piece.reserve(StreamPieceRows);
        m_piece.plateWidth = m_width;
        m_piece.plateHeight = m_height;
        return more;
    }

private:
    RowStream &m_out;
    TrackSet m_piece;
    int m_width = 0, m_height = 0;
};

} // namespace corvane
