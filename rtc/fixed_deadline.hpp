#pragma once
// Fixed-rate scheduling: deadlines lie on a grid one period apart, so the time a wake-up
// takes does not accumulate, and an overrun skips the deadlines it missed instead of
// running them back to back.

#include <chrono>

namespace rtc {

// previous + period, or the first grid point after now when that one has passed already.
inline std::chrono::steady_clock::time_point nextDeadline(
    std::chrono::steady_clock::time_point previous, std::chrono::steady_clock::duration period,
    std::chrono::steady_clock::time_point now) {
    if (period <= std::chrono::steady_clock::duration::zero()) {
        return now;
    }
    auto next = previous + period;
    if (next <= now) {
        next += period * ((now - next) / period + 1);
    }
    return next;
}

inline std::chrono::steady_clock::duration periodOf(double rateHz) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rateHz));
}

}  // namespace rtc
