#pragma once

#include <cstdint>

namespace vostrel {

// Rate limit for a repeated console report: a hostile or broken peer can cause an event
// thousands of times a second, and a line for each would drown the console and cost the cycle
// its time. The first event is reported at once, later ones at most once per interval, each
// report carrying what happened since the previous one. Times are milliseconds of any clock
// that the caller keeps (a wrap of a 32-bit tick is harmless). Not thread-safe.
class ReportThrottle {
  public:
    explicit ReportThrottle(std::uint32_t intervalMs = 1000) : intervalMs_(intervalMs) {}

    // Counts one event; true when it is time for a report.
    bool note(std::uint32_t nowMs) {
        ++total_;
        ++sinceReport_;
        if (reported_ && nowMs - lastReportMs_ < intervalMs_) return false;
        reported_ = true;
        lastReportMs_ = nowMs;
        return true;
    }
    // Events since the previous report, including the one just noted; reset after reading.
    std::uint64_t takeSinceReport() {
        const std::uint64_t n = sinceReport_;
        sinceReport_ = 0;
        return n;
    }
    std::uint64_t total() const { return total_; }

  private:
    std::uint32_t intervalMs_;
    std::uint32_t lastReportMs_ = 0;
    bool reported_ = false;
    std::uint64_t total_ = 0;
    std::uint64_t sinceReport_ = 0;
};

}  // namespace vostrel
