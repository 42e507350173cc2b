// SPDX-License-Identifier: Apache-2.0
// Pieces of rows on their way from a streamed reader's thread to the work
// that takes them (a conversion, a table being filled).
#pragma once

#include "rowstream.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace corvane {

// A few pieces at a time, so that a fast reader waits rather than fills
// the memory.
class PieceQueue : public RowStream
{
public:
    bool take(TrackSet &piece) override
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return m_pieces.size() < Held || m_closed; });
        if (m_closed) return false;
        m_pieces.push_back(std::move(piece));
        m_changed.notify_all();
        return true;
    }
    // The next piece; false when the reader is done (see outcome()).
    bool next(TrackSet &piece)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return !m_pieces.empty() || m_finished; });
        if (m_pieces.empty()) return false;
        piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        m_changed.notify_all();
        return true;
    }
    void finish(Streamed outcome)
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_outcome = outcome;
        m_finished = true;
        m_changed.notify_all();
    }
    // The taker takes no more: the reader stops at its next piece.
    void close()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_closed = true;
        m_changed.notify_all();
    }
    Streamed outcome()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_outcome;
    }

private:
    static constexpr size_t Held = 2;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<TrackSet> m_pieces;
    bool m_finished = false, m_closed = false;
    Streamed m_outcome = Streamed::Declined;
};

} // namespace corvane
