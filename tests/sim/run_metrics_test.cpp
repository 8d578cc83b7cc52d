#include <gtest/gtest.h>

#include <sstream>

#include "app/metrics_report.hpp"
#include "sim/cycle_clock.hpp"
#include "sim/run_metrics.hpp"

namespace vostrel {
namespace {

// One cycle's outputs with the robot at (x, y) heading along x, persons at world points, and
// the followed person (index) among them.
CycleOutputs at(double x, double y, std::vector<Vec2> persons, std::int32_t followed = -1) {
    CycleOutputs o;
    o.robotState.data = {x, y, 0.0};
    o.persons.data = persons;
    o.peopleData.id = followed;
    for (const Vec2& p : persons) o.peopleData.person.push_back({p.x - x, p.y - y, 0.0, {}});
    return o;
}

TEST(RunMetrics, SumsPathFollowDistancesApproachesWallsAndPersons) {
    // A wall 0.2 m above the start: the robot's disc overlaps it there only.
    RunMetrics m({Segment::fromPoints({-1, 0.2}, {1, 0.2})});
    const std::vector<std::int32_t> ids12{1, 2}, ids23{2, 3}, ids3{3};
    m.addCycle(at(0, 0, {{1, 0}, {0, -0.4}}, 0), ids12);    // followed at 1 m, one within 0.5 m
    m.addCycle(at(3, -4, {{7, -4}, {3, -4.3}}, 0), ids23);  // 4 m away, 0.3 m
    m.addCycle(at(3, -4, {{3.3, -4}}, 0), ids3);            // 0.3 m
    m.addCycle(at(3, -4, {}), {});                          // nobody left
    const RunMetrics::Summary s = m.summary();
    EXPECT_EQ(s.cycles, 4);
    EXPECT_DOUBLE_EQ(s.pathLength, 5.0);
    EXPECT_EQ(s.followCycles, 3);
    EXPECT_DOUBLE_EQ(*s.followMedian, 1.0);
    EXPECT_NEAR(*s.followMinimum, 0.3, 1e-12);
    EXPECT_EQ(s.followWithinBand, 1);
    EXPECT_NEAR(*s.closestApproach, 0.3, 1e-12);
    EXPECT_EQ(s.intrusionCycles, 3);
    EXPECT_EQ(s.wallOverlapCycles, 1);
    EXPECT_EQ(s.personsAtStart, 2);
    EXPECT_EQ(s.personsEntered, 1);
    EXPECT_EQ(s.personsLeft, 3);
    EXPECT_EQ(s.personsAtEnd, 0);

    const nlohmann::json j = toJson(s);
    EXPECT_EQ(j["followed_person"]["median_distance_m"], 1.0);
    EXPECT_EQ(j["persons"]["left"], 3);
    const RunMetrics::Summary back = summaryFromJson(j);
    EXPECT_EQ(back.personsLeft, 3);
    EXPECT_EQ(back.followMinimum, s.followMinimum);
    EXPECT_EQ(toJson(back), j);
    std::ostringstream text;
    printMetrics(text, s);
    EXPECT_NE(text.str().find("cycles overlapping a wall     : 1\n"), std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("median 1.000 m, minimum 0.300 m"), std::string::npos) << text.str();
}

TEST(RunMetrics, ARunWithoutPersonsOrTargetReportsNothingSeen) {
    RunMetrics m({});
    m.addCycle(at(0, 0, {}), {});
    const RunMetrics::Summary s = m.summary();
    EXPECT_FALSE(s.followMedian);
    EXPECT_FALSE(s.closestApproach);
    const nlohmann::json j = toJson(s);
    EXPECT_TRUE(j["closest_approach_m"].is_null());
    EXPECT_EQ(j["followed_person"]["share_within_0.5_3_m"], 0.0);
}

TEST(CycleClock, SimulatedAdvancesOneStepPerCycleRealIsTheDefault) {
    std::ostringstream err;
    CycleClock fromRate("simulated", "", 10.0, err);  // 10 Hz: 100 ms
    EXPECT_TRUE(fromRate.simulated());
    EXPECT_EQ(fromRate.now(), 0u);
    fromRate.startCycle();
    fromRate.startCycle();
    EXPECT_EQ(fromRate.now(), 200u);
    CycleClock given("simulated", "40", 1000.0, err);
    given.startCycle();
    EXPECT_EQ(given.now(), 40u);
    EXPECT_EQ(err.str(), "");

    CycleClock fast("simulated", "", 1e6, err);  // a period under 1 ms still steps 1 ms
    EXPECT_EQ(fast.step(), 1u);
    EXPECT_FALSE(CycleClock("", "", 10.0, err).simulated());
    EXPECT_FALSE(CycleClock("real", "", 10.0, err).simulated());
    EXPECT_EQ(err.str(), "");
}

TEST(CycleClock, BadValuesNameTheirKeyAndFallBack) {
    std::ostringstream err;
    CycleClock clock("simulted", "", 10.0, err);
    EXPECT_FALSE(clock.simulated());
    EXPECT_NE(err.str().find("vostrel.clock: \"simulted\""), std::string::npos) << err.str();
    for (const char* bad : {"0", "-5", "12ms", "99999999999"}) {
        std::ostringstream e;
        CycleClock c("simulated", bad, 10.0, e);
        EXPECT_EQ(c.step(), 100u) << bad;
        EXPECT_NE(e.str().find("vostrel.clock.step_ms"), std::string::npos) << bad;
    }
}

}  // namespace
}  // namespace vostrel
