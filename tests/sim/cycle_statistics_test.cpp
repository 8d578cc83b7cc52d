#include <gtest/gtest.h>

#include <sstream>

#include "sim/cycle_statistics.hpp"

namespace vostrel {
namespace {

std::string summaryAfter(std::initializer_list<Tick> cycles, Tick run, Tick startAt = 0) {
    SimulatedClock clock(startAt);
    CycleStatistics stats(clock);
    stats.start(CycleStatistics::kRunSlot);
    for (Tick c : cycles) {
        stats.start(CycleStatistics::kCycleSlot);
        clock.advance(c);
        stats.stop(CycleStatistics::kCycleSlot);
    }
    clock.set(startAt + run);
    stats.stop(CycleStatistics::kRunSlot);
    std::ostringstream out;
    stats.printSummary(out);
    return out.str();
}

std::string expected(const char* total, unsigned avg, unsigned max, unsigned min) {
    std::ostringstream s;
    s << "\n\nThe end of Simulation.\n\nTotal Execution Time  : " << total << " [s]\n\n"
      << "Required Time per cycle\n  Average : " << avg << " [ms/cycle]\n  Maximum : " << max
      << " [ms]\n  Minimum : " << min << " [ms]\n\n";
    return s.str();
}

TEST(CycleStatistics, SummaryTexts) {
    EXPECT_EQ(summaryAfter({}, 0), expected("0", 0, 0, 0));
    EXPECT_EQ(summaryAfter({3, 5, 4}, 12345), expected("12.345", 4, 5, 3));
    EXPECT_EQ(summaryAfter({1, 2}, 1234567), expected("1234.57", 1, 2, 1));
    EXPECT_EQ(summaryAfter({7, 9, 0}, 16), expected("0.016", 5, 9, 0));
}

TEST(CycleStatistics, ElapsedTimeSurvivesClockWrap) {
    EXPECT_EQ(summaryAfter({30}, 2000, 0xFFFFFFF0u), expected("2", 30, 30, 30));
}

TEST(CycleStatistics, SlotFieldsAndClear) {
    SimulatedClock clock(100);
    CycleStatistics stats(clock);
    stats.start(3);
    clock.advance(8);
    stats.stop(3);
    EXPECT_EQ(stats.slot(3).start, 100u);
    EXPECT_EQ(stats.last(3), 8u);
    EXPECT_EQ(stats.total(3), 8u);
    EXPECT_EQ(stats.count(3), 1u);
    stats.clear(3);
    EXPECT_EQ(stats.count(3), 0u);
    EXPECT_EQ(stats.average(3), 0u);
}

}  // namespace
}  // namespace vostrel
