#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/clock.hpp"

namespace vostrel {

// The one line a long batch run shows while it works: cycle / total, simulated time, persons,
// cycles per second and the time left. On a terminal the line is redrawn in place; into a
// file, where nothing can be redrawn, a new line is written now and then.
class ProgressLine {
  public:
    // `clock` measures real time; `terminal` chooses redrawing over appending.
    ProgressLine(std::ostream& out, int totalCycles, std::uint32_t periodMs, Clock& clock,
                 bool terminal);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // After each cycle; writes only when enough real time has passed, and always after the last.
    void update(int cycle, std::size_t persons);
    // Closes the line, so that what follows starts on a line of its own; only once.
    void finish();

    // The text of the line; a rate of 0 or less means "not known yet".
    static std::string format(int cycle, int totalCycles, double simulatedSeconds,
                              std::size_t persons, double cyclesPerSecond);

    static constexpr Tick kTerminalInterval = 100;  // ms between redraws
    static constexpr Tick kFileInterval = 1000;     // ms between appended lines

  private:
    std::ostream& out_;
    int total_;
    std::uint32_t period_;
    Clock& clock_;
    bool terminal_;
    Tick start_;
    Tick lastWrite_;
    bool written_ = false;
    bool open_ = false;  // a redrawn line waits for its end
};

}  // namespace vostrel
