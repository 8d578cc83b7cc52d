// The demo's closed loop: the simulator and the example follower as two processes, the
// station sample, a fixed seed, one minute of simulated time. vostrel-run ticks both in
// lock step on the simulated clock, so the run is the same on every machine, however
// loaded or slow, and the judgement below is made on the cycles it wrote.

#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <vector>

namespace {

using namespace std::chrono_literals;
const std::string kSource = VOSTREL_SOURCE_DIR;
constexpr double kPi = std::numbers::pi;

// A seed whose followed person walks, queues and stays in the hall for the whole minute.
constexpr int kSeed = 21;
constexpr int kCycles = 600;  // of 100 ms
constexpr double kPeriodS = 0.1;
constexpr double kSettleS = 10;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? NAN : v[v.size() / 2];
}

TEST(FollowOnStation, TheRobotStaysWithItsPersonAndFacesThem) {
    const std::string dir = rtctest::makeTempDir();
    const std::string output = dir + "/run.jsonl";
    // The demo's station settings; the environment named absolutely, as the test does not
    // run from the repository root.
    rtctest::Process run(
        VOSTREL_RUN,
        {"--config", kSource + "/examples/vostrel_station.conf", "--field",
         kSource + "/examples/station.txt", "--controller", FOLLOWER, "--vostrel", VOSTREL_EXE,
         "--cycles", std::to_string(kCycles), "--seed", std::to_string(kSeed), "--output", output,
         "--metrics", dir + "/metrics.json", "--logs", dir + "/logs"},
        dir + "/run.log");
    rtctest::waitFor([&] { return !run.running(); }, 600s);
    const int status = run.stop();
    const std::string logs = "\n--- vostrel-run:\n" + slurp(dir + "/run.log") +
                             "\n--- follower:\n" + slurp(dir + "/logs/Follower0.log");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << logs;
    EXPECT_NE(slurp(dir + "/logs/vostrel.log")
                  .find("vostrel: random seed " + std::to_string(kSeed) + " (vostrel.seed)\n"),
              std::string::npos)
        << slurp(dir + "/logs/vostrel.log");

    // Per cycle: the followed person in the robot's frame (x ahead), and the robot's heading.
    std::vector<double> distance, bearing;  // after the first kSettleS, while followed
    std::vector<double> heading;            // unwrapped, one per cycle
    double closest = 1e9;
    int closestCycle = -1;
    int cycle = 0;
    std::ifstream in(output);
    for (std::string line; std::getline(in, line); ++cycle) {
        const nlohmann::json j = nlohmann::json::parse(line);
        const double h = j["robot_state"]["data"]["heading"].get<double>();
        heading.push_back(
            heading.empty() ? h : heading.back() + std::remainder(h - heading.back(), 2 * kPi));
        const nlohmann::json& people = j["peopledata"]["data"];
        const int id = people["id"].get<int>();
        if (id < 0 || static_cast<std::size_t>(id) >= people["person"].size()) continue;
        const nlohmann::json& p = people["person"][static_cast<std::size_t>(id)]["position"];
        const double x = p["x"].get<double>(), y = p["y"].get<double>();
        if (std::hypot(x, y) < closest) {
            closest = std::hypot(x, y);
            closestCycle = cycle;
        }
        if ((cycle + 1) * kPeriodS > kSettleS) {
            distance.push_back(std::hypot(x, y));
            bearing.push_back(std::abs(std::atan2(y, x)));
        }
    }
    ASSERT_EQ(cycle, kCycles) << logs;

    // The largest turn the robot made in one direction within any 10 s: following turns
    // now this way, now that; a spin adds up.
    const std::size_t window = static_cast<std::size_t>(10 / kPeriodS);
    double spin = 0;
    for (std::size_t i = 0; i < heading.size(); ++i) {
        const std::size_t j = i > window ? i - window : 0;
        spin = std::max(spin, std::abs(heading[i] - heading[j]));
    }
    const std::size_t facing = static_cast<std::size_t>(
        std::count_if(bearing.begin(), bearing.end(), [](double b) { return b < kPi / 4; }));
    std::printf(
        "follow on station, seed %d: %zu cycles after %.0f s with the person; distance median "
        "%.2f m, min %.2f m (cycle %d), max %.2f m; |bearing| median %.1f deg, within 45 deg "
        "%.0f%%; largest turn in 10 s %.2f rad, net turn %.2f rad\n",
        kSeed, distance.size(), kSettleS, median(distance), closest, closestCycle,
        distance.empty() ? NAN : *std::max_element(distance.begin(), distance.end()),
        median(bearing) * 180 / kPi, 100.0 * facing / std::max<std::size_t>(bearing.size(), 1),
        spin, heading.empty() ? NAN : heading.back() - heading.front());

    // At least half the time after the start the person is there to be followed.
    ASSERT_GE(distance.size(), 250u) << logs;
    EXPECT_LE(median(distance), 2.5);
    EXPECT_GE(closest, 0.5) << "closest at cycle " << closestCycle;
    EXPECT_LE(median(bearing), 20 * kPi / 180);
    EXPECT_GE(facing, bearing.size() * 9 / 10);
    EXPECT_LT(spin, 2 * kPi);
    std::filesystem::remove_all(dir);
}

}  // namespace
