#include "app/progress_line.hpp"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace vostrel {

namespace {

std::string clockText(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, int totalCycles, std::uint32_t periodMs, Clock& clock,
                           bool terminal)
    : out_(out),
      total_(totalCycles),
      period_(periodMs),
      clock_(clock),
      terminal_(terminal),
      start_(clock.now()),
      lastWrite_(start_) {}

ProgressLine::~ProgressLine() {
    finish();
}

std::string ProgressLine::format(int cycle, int totalCycles, double simulatedSeconds,
                                 std::size_t persons, double cyclesPerSecond) {
    char rate[32] = "-";
    char left[32] = "-:--:--";
    if (cyclesPerSecond > 0.0 && std::isfinite(cyclesPerSecond)) {
        std::snprintf(rate, sizeof rate, "%.1f", cyclesPerSecond);
        std::snprintf(left, sizeof left, "%s",
                      clockText((totalCycles - cycle) / cyclesPerSecond).c_str());
    } else if (cycle >= totalCycles) {
        std::snprintf(left, sizeof left, "0:00:00");  // a run faster than the clock's tick
    }
    char text[160];
    std::snprintf(text, sizeof text, "cycle %d/%d  t %.1f s  persons %zu  %s cycles/s  %s left",
                  cycle, totalCycles, simulatedSeconds, persons, rate, left);
    return text;
}

void ProgressLine::update(int cycle, std::size_t persons) {
    const Tick now = clock_.now();
    const Tick interval = terminal_ ? kTerminalInterval : kFileInterval;
    if (cycle < total_ && written_ && now - lastWrite_ < interval) return;
    const Tick elapsed = now - start_;
    const double rate = elapsed > 0 ? cycle * 1000.0 / elapsed : 0.0;
    const std::string text = format(cycle, total_, cycle * (period_ / 1000.0), persons, rate);
    if (terminal_) {
        out_ << '\r' << text << "\033[K" << std::flush;  // erase what a longer line left
        open_ = true;
    } else {
        out_ << text << '\n' << std::flush;
    }
    lastWrite_ = now;
    written_ = true;
}

void ProgressLine::finish() {
    if (!open_) return;
    out_ << '\n' << std::flush;
    open_ = false;
}

}  // namespace vostrel
