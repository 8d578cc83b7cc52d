#include <gtest/gtest.h>

#include "platform/clock.hpp"

namespace vostrel {
namespace {

TEST(Clock, SimulatedClockWrapsAndDifferencesStayTrue) {
    SimulatedClock clock(0xFFFFFFF0u);
    const Tick before = clock.now();
    clock.advance(0x20);
    EXPECT_EQ(clock.now(), 0x10u);
    EXPECT_EQ(static_cast<Tick>(clock.now() - before), 0x20u);
}

TEST(Clock, SteadyClockDoesNotGoBackwards) {
    SteadyClock clock;
    const Tick a = clock.now();
    const Tick b = clock.now();
    EXPECT_LT(static_cast<Tick>(b - a), 1000u);
}

}  // namespace
}  // namespace vostrel
