// SPDX-License-Identifier: Apache-2.0
#include "stoprequest.h"

#include <atomic>

namespace corvane {

namespace {
// Lock-free, so that a signal handler may store to them.
std::atomic<bool> stopping{false};
std::atomic<int> stoppingSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
} // namespace

const char *const stoppedMessage = "Stopped: nothing was changed.";

void requestStop(int signal)
{
    stoppingSignal.store(signal, std::memory_order_relaxed);
    stopping.store(true, std::memory_order_release);
}

bool stopRequested()
{
    return stopping.load(std::memory_order_acquire);
}

int stopSignal()
{
    return stoppingSignal.load(std::memory_order_relaxed);
}

void clearStopRequest()
{
    stopping.store(false, std::memory_order_release);
    stoppingSignal.store(0, std::memory_order_relaxed);
}

} // namespace corvane
