// SPDX-License-Identifier: Apache-2.0
#include "parallel.h"

#include <atomic>

namespace corvane {

namespace {
std::atomic<int> threadsAllowed{0}; // 0: every core
} // namespace

int workerThreads()
{
    const int allowed = threadsAllowed.load();
    if (allowed > 0) return allowed;
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void setWorkerThreads(int threads)
{
    threadsAllowed.store(std::max(threads, 0));
}

void touchPages(char *memory, size_t bytes)
{
    constexpr qint64 page = 4096;
    const int pieces = int(std::clamp<size_t>(bytes / (16 << 20), 1, size_t(workerThreads())));
    forRanges(qint64(bytes), pieces, [&](qint64 begin, qint64 end, int) {
        for (qint64 at = begin; at < end; at += page)
            static_cast<volatile char *>(memory)[at] = 0;
    });
}

} // namespace corvane
