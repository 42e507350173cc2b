// SPDX-License-Identifier: Apache-2.0
// A request from outside the work under way that it stop: a signal to the
// converter, Ctrl+C in Python. Long reads and saves look at it at their safe
// points; a save that meets it gives every target back as it was.
#pragma once

namespace corvane {

// Safe to call from a signal handler. signal is the one that asked (0 for
// none), for the exit status.
void requestStop(int signal = 0);
bool stopRequested();
int stopSignal();
// Before the next piece of work, once a stop was dealt with.
void clearStopRequest();

// The error of work that was stopped.
extern const char *const stoppedMessage;

} // namespace corvane
