#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>

#include "platform/clock.hpp"

namespace vostrel {

// Elapsed-time measurements in whole milliseconds. All arithmetic is unsigned 32-bit, so a
// clock wrap between start and stop still gives the true elapsed time.
class CycleStatistics {
  public:
    static constexpr int kSlots = 8;
    static constexpr int kCycleSlot = 0;  // one measurement per execution cycle
    static constexpr int kRunSlot = 1;    // the whole run, end of activation to deactivation

    struct TimerSlot {
        std::uint32_t start = 0;
        std::uint32_t total = 0;
        std::uint32_t maximum = 0;
        std::uint32_t minimum = 0;
        std::uint32_t last = 0;
        std::uint32_t count = 0;
    };

    explicit CycleStatistics(Clock& clock) : clock_(clock) {}

    void start(int slot) { slots_[index(slot)].start = clock_.now(); }
    void stop(int slot);
    void clear(int slot) { slots_[index(slot)] = TimerSlot{}; }

    const TimerSlot& slot(int i) const { return slots_[index(i)]; }
    std::uint32_t average(int i) const;
    std::uint32_t maximum(int i) const { return slot(i).maximum; }
    std::uint32_t minimum(int i) const { return slot(i).minimum; }
    std::uint32_t total(int i) const { return slot(i).total; }
    std::uint32_t last(int i) const { return slot(i).last; }
    std::uint32_t count(int i) const { return slot(i).count; }

    // The end-of-run text: run length from the run slot, cycle times from the cycle slot.
    void printSummary(std::ostream& out) const;

  private:
    static std::size_t index(int slot) { return static_cast<std::size_t>(slot) % kSlots; }

    Clock& clock_;
    std::array<TimerSlot, kSlots> slots_{};
};

}  // namespace vostrel
