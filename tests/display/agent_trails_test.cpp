#include "display/agent_trails.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace vostrel {
namespace {

using P = AgentTrails::PersonPosition;

TEST(AgentTrails, KeepTheLastSecondsPerPersonById) {
    AgentTrails trails(1.0);
    for (int step = 0; step <= 20; ++step) {
        const double t = step * 0.1;
        // Person 7 walks along x; the list order flips every cycle.
        std::vector<P> persons{{7, {t, 0.0}}, {9, {0.0, 5.0}}};
        if (step % 2 == 1) std::swap(persons[0], persons[1]);
        trails.record(t, {t, 1.0}, persons);
    }
    const auto& track = trails.person(7);
    ASSERT_EQ(track.size(), 11u);  // t = 1.0 .. 2.0
    EXPECT_NEAR(track.front().x, 1.0, 1e-9);
    EXPECT_NEAR(track.back().x, 2.0, 1e-9);
    EXPECT_EQ(trails.person(9).size(), 11u);
    EXPECT_EQ(trails.robot().size(), 11u);

    // Person 9 leaves: its track goes with it; an unknown id has none.
    trails.record(2.1, {2.1, 1.0}, std::vector<P>{{7, {2.1, 0.0}}});
    EXPECT_TRUE(trails.person(9).empty());
    EXPECT_EQ(trails.personCount(), 1u);
    EXPECT_TRUE(trails.person(42).empty());
}

TEST(AgentTrails, NoSecondsKeepNothing) {
    for (const double seconds : {0.0, -3.0}) {
        AgentTrails trails(seconds);
        trails.record(0.0, {0.0, 0.0}, std::vector<P>{{1, {1.0, 1.0}}});
        EXPECT_TRUE(trails.robot().empty());
        EXPECT_EQ(trails.personCount(), 0u);
    }
}

}  // namespace
}  // namespace vostrel
