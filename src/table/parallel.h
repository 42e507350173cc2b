// SPDX-License-Identifier: Apache-2.0
// Splitting work over rows between the machine's cores. Pieces are ranges
// of rows in order, so results gathered per piece keep the table's order.
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <thread>
#include <vector>

namespace corvane {

// How many threads row work may use (the cores, unless set lower; tests
// set 1 to compare with the work done in one piece).
int workerThreads();
void setWorkerThreads(int threads);

// Runs work(piece) for each piece of [0, pieces), each on its own thread
// (piece 0 on the caller's), and returns when all are done.
template <typename Work> void forEachPiece(int pieces, Work &&work)
{
    std::vector<std::thread> threads;
    for (int p = 1; p < pieces; ++p)
        threads.emplace_back([&work, p] { work(p); });
    if (pieces > 0) work(0);
    for (std::thread &t : threads)
        t.join();
}

// Writes to each page of fresh memory, split between the threads, so that
// the system's clearing of new pages is shared between the cores.
void touchPages(char *memory, size_t bytes);

// Runs work(begin, end, piece) over [0, size) cut into `pieces` ranges of
// about the same length, one per thread, in order.
template <typename Work> void forRanges(qint64 size, int pieces, Work &&work)
{
    forEachPiece(pieces, [&](int p) { work(size * p / pieces, size * (p + 1) / pieces, p); });
}

// Runs work(begin, end, piece) over [0, count) in pieces, one per thread,
// when there are enough rows to be worth a thread; else in one piece.
template <typename Work> void forRowRanges(int count, Work &&work, int minimumPerPiece = 65536)
{
    const int pieces = std::clamp(count / std::max(minimumPerPiece, 1), 1, workerThreads());
    forRanges(count, pieces,
              [&](qint64 begin, qint64 end, int p) { work(int(begin), int(end), p); });
}

} // namespace corvane
