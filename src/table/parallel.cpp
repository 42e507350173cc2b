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

} // namespace corvane
