// The follower's control law: its limits one command at a time, and the whole loop on the
// station sample against the simulation on a simulated clock, where the robot's wheels ramp
// as they do in the component.

#include "app/follow_law.hpp"
#include "component/simulation_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    std::vector<double> distance;  // to the followed person, while there is one
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
    options.debugImages = false;
    options.display = false;
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
        if (people.id < 0) {
            command = {};
            continue;
        }
        const auto& p = people.person[static_cast<std::size_t>(people.id)];
        if (cycle > 100) {
            track.distance.push_back(std::hypot(p.x, p.y));
            track.bearing.push_back(std::atan2(p.y, p.x));
            track.heading.push_back(unwrapped);
        }
        command = steer(p.x, p.y, law, command, 0.1);
        if (std::getenv("FOLLOW_TRACE"))
            std::printf("%d d %.2f b %.2f cmd %.2f %.2f\n", cycle, std::hypot(p.x, p.y),
                        std::atan2(p.y, p.x), command.vx, command.va);
    }
    run.deactivate();
    return track;
}

TEST(FollowLoop, KeepsCloseToThePersonOnTheStation) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        Track t = followOnStation(seed, 600, defaults());
        std::vector<double> absBearing;
        for (double b : t.bearing) absBearing.push_back(std::abs(b));
        std::printf("seed %u: samples %zu median %.2f min %.2f max %.2f |bearing| median %.2f\n",
                    seed, t.distance.size(), median(t.distance),
                    *std::min_element(t.distance.begin(), t.distance.end()),
                    *std::max_element(t.distance.begin(), t.distance.end()), median(absBearing));
    }
}

}  // namespace
