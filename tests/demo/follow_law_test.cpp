// The follower's control law: its limits one command at a time, and the whole loop on the
// station sample against the simulation on a simulated clock, where the robot's wheels ramp
// as they do in the component.

#include "app/follow_law.hpp"
#include "sim/simulation_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <sstream>
#include <vector>

namespace {

using follower::FollowLaw;
using follower::steer;
using follower::Velocity;

constexpr double kPi = std::numbers::pi;

// The follower's defaults (follower --help).
FollowLaw defaults() {
    return {1.0, 1.0, 1.5, 1.5, 0.1, 1.0, 0.4};
}

// What the robot does over a run, sampled every cycle.
struct Track {
    std::vector<double> distance;  // to the followed person after 10 s, while there is one
    std::vector<double> bearing;
    std::vector<double> heading;  // unwrapped
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? NAN : v[v.size() / 2];
}

// The follower against the simulation, one command per cycle answering the previous
// cycle's tracking sample, as the two processes do.
Track followOnStation(std::uint32_t seed, int cycles, const FollowLaw& law) {
    vostrel::SimulatedClock clock{0};
    vostrel::SimulatedClock statsClock{0};
    std::ostringstream console;
    vostrel::RunOptions options;
    vostrel::SimulationRun run(clock, statsClock, console, console, seed, options);
    vostrel::Configuration config;
    config.FieldDataFile = std::string(VOSTREL_SOURCE_DIR) + "/examples/station.txt";
    config.robot_init_x = 20.0;
    config.robot_init_y = 3.0;
    config.robot_init_heading = 270.0;
    config.following_target_id = 2;
    config.simulate_skip = 2;
    run.activate(config);
    Track track;
    Velocity command;
    double lastHeading = 0;
    double unwrapped = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        clock.advance(100);
        run.execute(config, vostrel::VelocityCommand{command.vx, 0.0, command.va});
        const auto& people = run.outputs().peopleData;
        const double h = run.robotPose().heading;
        unwrapped += cycle == 1 ? 0 : std::remainder(h - lastHeading, 2 * kPi);
        lastHeading = h;
        track.heading.push_back(unwrapped);
        if (people.id < 0) {
            command = {};
            continue;
        }
        const auto& p = people.person[static_cast<std::size_t>(people.id)];
        if (cycle > 100) {
            track.distance.push_back(std::hypot(p.x, p.y));
            track.bearing.push_back(std::atan2(p.y, p.x));
        }
        command = steer(p.x, p.y, law, command, 0.1);
    }
    run.deactivate();
    return track;
}

// Commands from rest toward a person at (x, y), one every 0.1 s.
std::vector<double> speedsFromRest(double x, double y, const FollowLaw& law, int commands) {
    std::vector<double> speeds;
    Velocity v;
    for (int i = 0; i < commands; ++i) {
        v = steer(x, y, law, v, 0.1);
        speeds.push_back(v.vx);
    }
    return speeds;
}

TEST(FollowLaw, SpeedRisesAtTheWheelsRateUpToWhereItCanStillStop) {
    const std::vector<double> speeds = speedsFromRest(3, 0, defaults(), 60);
    const double cap = std::sqrt(2 * 0.4 * (3 - 1.0));  // 1.26, below max_speed and gain x gap
    for (std::size_t i = 0; i < speeds.size(); ++i) {
        EXPECT_NEAR(speeds[i], std::min(0.04 * static_cast<double>(i + 1), cap), 1e-9) << i;
    }
    // Without the wheels' limit the law's own target shows: the proportional term...
    FollowLaw fast = defaults();
    fast.maxAccel = 1000;
    EXPECT_NEAR(steer(1.5, 0, fast, {}, 0.1).vx, 0.5, 1e-9);
    // ...capped by max_speed, and by the braking distance once the wheels are slower.
    EXPECT_NEAR(steer(3, 0, fast, {}, 0.1).vx, 1.5, 1e-9);
    fast.maxAccel = 0.4;
    fast.gainLinear = 5;
    EXPECT_NEAR(steer(2, 0, fast, {1.0, 0}, 1.0).vx, std::sqrt(0.8), 1e-9);
    // A person coming closer brings the speed down no faster than the wheels can either.
    EXPECT_NEAR(steer(1.5, 0, defaults(), {1.2, 0}, 0.1).vx, 1.16, 1e-9);
}

TEST(FollowLaw, TurnsOnTheSpotForAPersonBehindAndBacksOffSlowly) {
    // Behind on the left, then on the right: the speed runs down to zero, never into reverse,
    // while the turn is at its limit towards the person.
    Velocity v{1.0, 0};
    for (int i = 0; i < 40; ++i) {
        v = steer(-3, i < 20 ? 0.1 : -0.1, defaults(), v, 0.1);
        EXPECT_NEAR(v.vx, std::max(1.0 - 0.04 * (i + 1), 0.0), 1e-9) << i;
        EXPECT_EQ(v.va, i < 20 ? 1.0 : -1.0) << i;
    }
    // Beside: turn first, no forward speed.
    EXPECT_NEAR(steer(0, 2, defaults(), {}, 0.1).vx, 0, 1e-9);
    // Too close ahead: reverse, ramped, at most max_reverse.
    const std::vector<double> speeds = speedsFromRest(0.5, 0, defaults(), 5);
    EXPECT_NEAR(speeds[0], -0.04, 1e-9);
    EXPECT_NEAR(speeds[4], -0.1, 1e-9);
}

TEST(FollowLaw, BadInputsStopOrHoldRatherThanRunAway) {
    EXPECT_EQ(steer(std::nan(""), 0, defaults(), {0.5, 0.2}, 0.1).vx, 0);
    EXPECT_EQ(steer(1, HUGE_VAL, defaults(), {0.5, 0.2}, 0.1).va, 0);
    // A period that is negative or not a number allows no change at all.
    for (double period : {-1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_EQ(steer(3, 0, defaults(), {0.5, 0}, period).vx, 0.5) << period;
    }
    // Limits set negative or to no number must not turn a clamp inside out.
    FollowLaw odd = defaults();
    odd.maxSpeed = -1;
    odd.maxTurn = std::nan("");
    odd.maxAccel = -0.4;
    const Velocity v = steer(3, 1, odd, {}, 0.1);
    EXPECT_EQ(v.vx, 0);
    EXPECT_EQ(v.va, 0);
    odd = defaults();
    odd.gainLinear = std::nan("");
    EXPECT_EQ(steer(3, 0, odd, {0.5, 0}, 0.1).vx, 0);
}

// Seeds whose followed person walks and queues in the hall for the whole minute.
TEST(FollowLoop, KeepsCloseToThePersonOnTheStationAndFacesThem) {
    for (std::uint32_t seed : {4u, 28u}) {
        const Track t = followOnStation(seed, 600, defaults());
        ASSERT_GE(t.distance.size(), 400u) << seed;
        EXPECT_LE(median(t.distance), 2.5) << seed;
        EXPECT_GE(*std::min_element(t.distance.begin(), t.distance.end()), 0.5) << seed;
        std::vector<double> absBearing;
        for (double b : t.bearing) absBearing.push_back(std::abs(b));
        EXPECT_LE(median(absBearing), 0.2) << seed;
        // The largest net turn within 10 s: a spin adds up, following does not.
        for (std::size_t i = 100; i < t.heading.size(); ++i)
            ASSERT_LT(std::abs(t.heading[i] - t.heading[i - 100]), 2 * kPi) << seed << " " << i;
    }
}

}  // namespace
