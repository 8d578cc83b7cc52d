#include "sim/cycle_statistics.hpp"

#include <ostream>

namespace vostrel {

void CycleStatistics::stop(int i) {
    TimerSlot& s = slots_[index(i)];
    const std::uint32_t e = clock_.now() - s.start;
    s.last = e;
    if (e > s.maximum) s.maximum = e;
    if (s.count == 0 || e < s.minimum) s.minimum = e;
    s.total += e;
    ++s.count;
}

std::uint32_t CycleStatistics::average(int i) const {
    const TimerSlot& s = slot(i);
    return s.count == 0 ? 0 : s.total / s.count;
}

void CycleStatistics::printSummary(std::ostream& out) const {
    out << "\n\nThe end of Simulation.\n\n"
        << "Total Execution Time  : " << average(kRunSlot) * 0.001 << " [s]\n\n"
        << "Required Time per cycle\n"
        << "  Average : " << average(kCycleSlot) << " [ms/cycle]\n"
        << "  Maximum : " << maximum(kCycleSlot) << " [ms]\n"
        << "  Minimum : " << minimum(kCycleSlot) << " [ms]\n\n";
}

}  // namespace vostrel
