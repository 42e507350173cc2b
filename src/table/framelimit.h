// SPDX-License-Identifier: Apache-2.0
// The frames Corvane handles, for the readers and for Apply alike.
#pragma once

#include <cmath>

namespace corvane {

// Far enough from the integer limits that any shift to a first frame the
// settings allow stays in range.
constexpr int FrameLimit = 1000000000;

// A number read as a frame ("12", "12.000000"): whole and within the
// frames Corvane handles (checked before any conversion to an integer).
inline bool wholeFrame(double value, int &frame)
{
    if (!(std::abs(value) <= FrameLimit) || value != std::trunc(value)) return false;
    frame = int(value);
    return true;
}

} // namespace corvane
