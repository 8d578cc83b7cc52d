#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

#include "app/command_script.hpp"
#include "sim/simulation_run.hpp"

namespace vostrel {
namespace {

const std::string kSource = VOSTREL_SOURCE_DIR;
const std::string kData = kSource + "/tests/sim/data/";

Configuration configFor(const std::string& example) {
    Configuration c;
    c.FieldDataFile = kSource + "/examples/" + example;
    return c;
}

RunOptions headless() {
    RunOptions o;
    return o;
}

// A run on simulated clocks whose whole console (both streams, interleaved) is captured.
struct Harness {
    SimulatedClock clock{0};
    SimulatedClock statsClock{0};
    std::ostringstream console;
    SimulationRun run;

    explicit Harness(std::uint32_t seed, RunOptions options = headless())
        : run(clock, statsClock, console, console, seed, std::move(options)) {}

    void cycle(const Configuration& c, std::optional<VelocityCommand> command = std::nullopt) {
        clock.advance(100);
        run.execute(c, command);
    }
};

void expectGolden(const std::string& name, const std::string& now) {
    const std::string file = kData + name;
    if (std::getenv("VOSTREL_UPDATE_GOLDEN") != nullptr) std::ofstream(file) << now;
    std::ifstream in(file);
    const std::string stored{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(stored.empty()) << file;
    EXPECT_EQ(now, stored) << "console output differs from " << file;
}

// Checks what every cycle's samples must satisfy whatever the crowd does.
void checkOutputs(const SimulationRun& run, const Configuration& c) {
    const CycleOutputs& o = run.outputs();
    const Pose2D pose = run.robotPose();
    EXPECT_EQ(o.robotState.data, pose);
    ASSERT_EQ(o.persons.data.size(), run.crowd()->persons().size());
    ASSERT_EQ(o.peopleData.person.size(), o.persons.data.size());
    std::int32_t followed = -1;
    for (std::size_t i = 0; i < o.persons.data.size(); ++i) {
        const Person& p = run.crowd()->persons()[i];
        if (p.id == c.following_target_id) followed = static_cast<std::int32_t>(i);
        // Back from the robot frame to the world gives the person's position and velocity.
        const TrackedPerson& t = o.peopleData.person[i];
        const double ch = std::cos(pose.heading), sh = std::sin(pose.heading);
        EXPECT_NEAR(pose.x + t.x * ch - t.y * sh, p.position().x, 1e-9);
        EXPECT_NEAR(pose.y + t.x * sh + t.y * ch, p.position().y, 1e-9);
        EXPECT_NEAR(t.velocity.vx * ch - t.velocity.vy * sh, p.velocity().x, 1e-9);
        EXPECT_NEAR(t.velocity.vx * sh + t.velocity.vy * ch, p.velocity().y, 1e-9);
        EXPECT_EQ(t.z, 0.0);
        EXPECT_EQ(t.velocity.va, 0.0);
    }
    EXPECT_EQ(o.peopleData.id, followed);
    EXPECT_EQ(o.rangeData.data.distance.size(), static_cast<std::size_t>(c.range_data_num));
    EXPECT_EQ(o.rangeData.data.startPosition, -30.0f);
    EXPECT_EQ(o.rangeData.data.dataInterval, 0.5f);
    EXPECT_EQ(o.rangeData.tm.sec, o.persons.tm.sec);
    EXPECT_EQ(o.robotVelocity.data.vy, 0.0);
}

// 300 cycles on the office with a scripted drive: the console is compared byte for byte, and
// every cycle's samples are checked against the crowd and the robot.
TEST(SimulationRun, GoldenOfficeRunWithScriptedCommands) {
    std::ostringstream scriptErrors;
    const auto script = readCommandScript(kData + "commands.txt", scriptErrors);
    ASSERT_TRUE(script) << scriptErrors.str();
    const Configuration c = configFor("office.txt");
    Harness h(20261207);
    h.run.activate(c);
    double previousSpeed = 0.0;
    std::string trace;  // robot pose and persons every 50 cycles, at full precision
    char line[160];
    for (int cycle = 1; cycle <= 300; ++cycle) {
        std::optional<VelocityCommand> command;
        if (auto it = script->find(cycle); it != script->end()) command = it->second;
        h.cycle(c, command);
        checkOutputs(h.run, c);
        // The wheels ramp at 0.4 m/s^2: at most 40 mm/s of change per 100 ms cycle.
        const double speed = h.run.outputs().robotVelocity.data.vx;
        EXPECT_LE(std::abs(speed - previousSpeed), 0.04 + 1e-12) << "cycle " << cycle;
        previousSpeed = speed;
        if (cycle % 50 != 0) continue;
        const Pose2D p = h.run.robotPose();
        std::snprintf(line, sizeof line, "cycle %d robot %.17g %.17g %.17g\n", cycle, p.x, p.y,
                      p.heading);
        trace += line;
        for (const Vec2& q : h.run.outputs().persons.data) {
            std::snprintf(line, sizeof line, "  person %.17g %.17g\n", q.x, q.y);
            trace += line;
        }
    }
    h.run.deactivate();
    expectGolden("office_300.txt", h.console.str() + "--- trace\n" + trace);
}

TEST(SimulationRun, GoldenWarmUpUntilTheFollowedPersonEnters) {
    Configuration c = configFor("station.txt");
    c.simulate_skip = 2;
    c.following_target_id = 5;
    Harness h(99);
    h.run.activate(c);
    EXPECT_EQ(h.run.crowd()->persons().back().id, 5);
    for (int cycle = 1; cycle <= 50; ++cycle) {
        h.cycle(c);
        checkOutputs(h.run, c);
    }
    h.run.deactivate();
    expectGolden("station_skip2_50.txt", h.console.str());
}

TEST(SimulationRun, WarmUpGivesUpAfterItsBound) {
    Configuration c = configFor("office.txt");
    c.simulate_skip = 2;
    c.following_target_id = 1000000;  // never the newest person within the bound
    Harness h(5);
    h.run.activate(c);
    EXPECT_NE(h.console.str().find("Warm-up stopped after 600 s of simulated time"),
              std::string::npos);
    EXPECT_FALSE(h.run.crowd()->persons().empty());
    h.cycle(c);
    EXPECT_NE(h.console.str().find("[ STEP 1 ]"), std::string::npos);
}

TEST(SimulationRun, RampFollowsTheCommandOneCycleLate) {
    const Configuration c = configFor("office.txt");
    Harness h(1);
    h.run.activate(c);
    h.cycle(c, VelocityCommand{0.2, 0.0, 0.0});
    EXPECT_EQ(h.run.outputs().robotVelocity.data.vx, 0.0);
    EXPECT_EQ(h.run.outputs().robotState.data.x, c.robot_init_x);
    h.cycle(c);
    EXPECT_NEAR(h.run.outputs().robotVelocity.data.vx, 0.04, 1e-12);
    for (int i = 0; i < 10; ++i) h.cycle(c);
    EXPECT_NEAR(h.run.outputs().robotVelocity.data.vx, 0.2, 1e-12);
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// inf - inf in the drive used to turn the pose into NaN for good.
TEST(SimulationRun, CommandsWithoutFiniteWheelSpeedsAreRefusedAndReportedOncePerSecond) {
    const Configuration c = configFor("office.txt");
    Harness h(5);
    h.run.activate(c);
    h.cycle(c, VelocityCommand{0.2, 0.0, 0.0});
    h.console.str("");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Nine refusals in 0.9 s from one source: a single line; another source has its own.
    for (int i = 0; i < 9; ++i)
        h.run.execute(c, VelocityCommand{i % 2 ? nan : 1e308, 0.0, -1e308}, "peer A"),
            h.clock.advance(100);
    h.run.execute(c, VelocityCommand{nan, 0.0, 0.0}, "peer B");
    h.clock.advance(100);
    h.run.execute(c, VelocityCommand{nan, 0.0, 0.0}, "peer A");
    const std::string console = h.console.str();
    EXPECT_EQ(countOf(console, "Refused "), 3u) << console;
    EXPECT_NE(console.find("Refused 1 velocity command from peer A (1 in all): vx 1e+308, vy 0, "
                           "va -1e+308 would not give finite wheel speeds; the previous command "
                           "stays in force.\n"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("Refused 1 velocity command from peer B (1 in all)"), std::string::npos);
    EXPECT_NE(console.find("Refused 9 velocity commands from peer A (10 in all)"),
              std::string::npos);
    EXPECT_EQ(h.run.commandRefusals().total(), 11u);

    // The earlier command stayed in force and a valid one still steers.
    EXPECT_NEAR(h.run.outputs().robotVelocity.data.vx, 0.2, 1e-12);
    h.cycle(c, VelocityCommand{-0.1, 0.0, 0.3});
    for (int i = 0; i < 20; ++i) {
        h.cycle(c);
        checkOutputs(h.run, c);
        const Pose2D& p = h.run.robotPose();
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.heading));
    }
    EXPECT_NEAR(h.run.outputs().robotVelocity.data.vx, -0.1, 1e-12);
}

TEST(SimulationRun, SecondActivationStartsAfresh) {
    const Configuration c = configFor("office.txt");
    Harness h(3);
    h.run.activate(c);
    h.cycle(c);
    h.cycle(c);
    h.run.deactivate();
    const std::string first = h.console.str();
    h.console.str("");
    h.run.activate(c);
    h.cycle(c);
    h.run.deactivate();
    const std::string second = h.console.str();
    EXPECT_NE(second.find("- Start Initialization"), std::string::npos);
    EXPECT_NE(second.find("Number of optimised Subareas = 20"), std::string::npos);
    EXPECT_NE(second.find("\n[ STEP 1 ]\n"), std::string::npos);
    EXPECT_EQ(second.find("[ STEP 2 ]"), std::string::npos);
    EXPECT_NE(second.find("The end of Simulation."), std::string::npos);
    EXPECT_EQ(h.run.stepCount(), 1);
    EXPECT_FALSE(h.run.active());
}

TEST(SimulationRun, NoEntranceMeansNoNetworkNoWarmUpAndAnEmptyCrowd) {
    const std::string field = ::testing::TempDir() + "no_entrance.txt";
    std::ofstream(field) << "Walls { 0,0,10,0; 10,0,10,5; 10,5,0,5; 0,5,0,0; }\n";
    Configuration c;
    c.FieldDataFile = field;
    Harness h(1);
    h.run.activate(c);
    h.cycle(c);
    EXPECT_EQ(h.console.str().find("spatial network"), std::string::npos);
    EXPECT_NE(h.console.str().find("Number of persons = 0\n"), std::string::npos);
    EXPECT_TRUE(h.run.withAreas([](const SubareaList& l, const std::vector<int>& counts) {
        return l.empty() && counts.empty();
    }));
    EXPECT_TRUE(h.run.outputs().persons.data.empty());
    EXPECT_EQ(h.run.outputs().peopleData.id, -1);
    h.run.withGlobalMap([](const AbsoluteMapData& m) {
        EXPECT_EQ(m.mapconfig.width, 101u);
        EXPECT_EQ(m.mapconfig.height, 51u);
    });
}

TEST(SimulationRun, SimulatePeopleOffNeverAdvancesTheCrowd) {
    Configuration c = configFor("cafeteria.txt");
    c.simulate_people = 0;
    Harness h(1);
    h.run.activate(c);
    for (int i = 0; i < 20; ++i) h.cycle(c);
    EXPECT_TRUE(h.run.crowd()->persons().empty());
}

TEST(SimulationRun, ServiceRecordsCarryTheCrowdCountsAndTheLocalMap) {
    const Configuration c = configFor("cafeteria.txt");
    Harness h(11);
    h.run.activate(c);
    for (int i = 0; i < 200; ++i) h.cycle(c);
    const int counted = h.run.withAreas([](const SubareaList& l, const std::vector<int>& counts) {
        EXPECT_EQ(counts.size(), l.size());
        int n = 0;
        for (const int k : counts) n += k;
        return n;
    });
    EXPECT_GT(counted, 0);
    EXPECT_LE(counted, static_cast<int>(h.run.crowd()->persons().size()));
    h.run.withLocalMap([&](const RelativeMapData& m) {
        EXPECT_EQ(m.mapconfig.width, 200u);
        EXPECT_EQ(m.mapconfig.origin.x, -5.0);
        EXPECT_EQ(m.pose, h.run.robotPose());
        EXPECT_EQ(m.tm.sec, h.run.outputs().persons.tm.sec);
    });
}

}  // namespace
}  // namespace vostrel
