// The follower against a stand-in for the simulator, both on a naming service of the
// test's own on 127.0.0.1: what it commands for a person in a known place, when it stops,
// whether it closes in on a walking person; and the demo script's start and clean stop.

#include "rtc/properties.hpp"
#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using rtctest::Process;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Command {
    double vx;
    double va;
};

// The last "command vx va" line the stand-in logged.
std::optional<Command> lastCommand(const std::string& log) {
    std::istringstream in(slurp(log));
    std::optional<Command> last;
    std::string word;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Command c{};
        if (fields >> word >> c.vx >> c.va && word == "command") {
            last = c;
        }
    }
    return last;
}

int exitStatusOf(Process& p, std::chrono::milliseconds timeout) {
    rtctest::waitFor([&] { return !p.running(); }, timeout);
    int status = p.stop();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class FollowerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = rtctest::makeTempDir();
        standIn_ = Process(
            DEMO_STANDIN,
            {"-o", "corba.nameservers:" + ns_.address(), "-o", "corba.endpoints:127.0.0.1", "-o",
             "naming.formats:%n.rtc", "-o", "exec_cxt.periodic.rate:20", "-o",
             "exec_cxt.activation_timeout:60", "-o", "manager.components.preactivation:Vostrel0",
             "-o", "Simulato.Vostrel.conf.default.scene:fixed"},
            standInLog());
        ASSERT_TRUE(rtctest::waitFor([&] { return ctl({"cat", "Vostrel0"}) == 0; }, 15s));
        // The follower runs on its example configuration; only the naming service's
        // address differs, in the settings and in the URLs of the preconnect.
        coil::Properties conf;
        std::ifstream in(std::string(VOSTREL_SOURCE_DIR) + "/examples/follower.conf");
        conf.load(in);
        ASSERT_EQ(conf.getProperty("corba.nameservers"), "127.0.0.1:2809");
        std::string preconnect =
            std::regex_replace(conf.getProperty("manager.components.preconnect"),
                               std::regex("127\\.0\\.0\\.1:2809"), ns_.address());
        follower_ = Process(FOLLOWER,
                            {"-f", std::string(VOSTREL_SOURCE_DIR) + "/examples/follower.conf",
                             "-o", "corba.nameservers:" + ns_.address(), "-o",
                             "manager.components.preconnect:" + preconnect},
                            followerLog());
    }
    void TearDown() override {
        follower_.stop();
        standIn_.stop();
        std::filesystem::remove_all(dir_);
    }

    std::string standInLog() const { return dir_ + "/standin.log"; }
    std::string followerLog() const { return dir_ + "/follower.log"; }

    int ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ns", ns_.address()});
        Process p(VOSTREL_CTL, args, dir_ + "/ctl.log");
        return exitStatusOf(p, 20s);
    }
    void set(const std::string& key, const std::string& value) {
        ASSERT_EQ(ctl({"conf", "set", "Vostrel0", key, value}), 0) << key;
    }

    // Waits until the newest command is (vx, va) within 1e-4.
    bool commands(double vx, double va, std::chrono::milliseconds timeout = 5s) {
        bool ok = rtctest::waitFor(
            [&] {
                auto c = lastCommand(standInLog());
                return c && std::abs(c->vx - vx) < 1e-4 && std::abs(c->va - va) < 1e-4;
            },
            timeout);
        if (!ok) {
            auto c = lastCommand(standInLog());
            ADD_FAILURE() << "wanted (" << vx << ", " << va << "), last command "
                          << (c ? std::to_string(c->vx) + ", " + std::to_string(c->va) : "none");
        }
        return ok;
    }
    bool place(const std::string& xy, double vx, double va) {
        set("person", xy);
        return commands(vx, va);
    }
    // Wheels that follow at once: each command is the law's target, unshaped.
    void unramped() {
        ASSERT_TRUE(rtctest::waitFor(
            [&] {
                return ctl({"conf", "set", "Follower0", "max_accel", "1000"}) == 0;
            },
            20s));
    }

    rtctest::NameServer ns_;
    std::string dir_;
    Process standIn_;
    Process follower_;
};

// The default law: keep 1 m; gains 1.0 /s and 1.5 /s; limits 1.5 m/s, 0.1 m/s reverse,
// 1 rad/s. The stand-in's person 0 is a decoy behind on the right: a follower that read
// the wrong entry would turn right on the spot.
TEST_F(FollowerTest, SteersTowardTheFollowedPerson) {
    unramped();
    double b = std::atan2(0.2, 1);
    EXPECT_TRUE(place("1.5,0", 0.5, 0));  // proportional below the limit
    EXPECT_TRUE(place("3,0", 1.5, 0));    // forward speed clamped
    EXPECT_TRUE(place("0,2", 0, 1.0));    // on the left: turns left on the spot
    EXPECT_TRUE(place("2,-0.4", (std::hypot(2, 0.4) - 1) * std::cos(b), -1.5 * b));  // unclamped
    EXPECT_TRUE(place("0.5,0", -0.1, 0));  // too close: backs off, slowly
    EXPECT_TRUE(place("-3,0", 0, 1.0));    // behind: turns round on the spot
}

// With the default max_accel of 0.4 m/s^2 the commanded speed rises no faster than the
// wheels can, to the speed from which they can still stop at the follow distance, and a
// person behind brings it down to a turn on the spot, never into reverse.
TEST_F(FollowerTest, ShapesItsCommandsForRampingWheels) {
    ASSERT_TRUE(place("0,3", 0, 1.0));  // beside: no forward speed to start from
    const auto start = std::chrono::steady_clock::now();
    const std::size_t before = slurp(standInLog()).size();
    set("person", "3,0");
    ASSERT_TRUE(commands(std::sqrt(2 * 0.4 * 2), 0, 20s));  // the braking cap, below max_speed
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The first command after a pause may take at most half a second's worth.
    EXPECT_GE(took, (std::sqrt(1.6) - 0.2) / 0.4) << "rose faster than the wheels can";
    ASSERT_TRUE(place("-3,0", 0, 1.0));
    std::istringstream in(slurp(standInLog()).substr(before));
    std::string word;
    double last = 0;
    int rising = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Command c{};
        if (!(fields >> word >> c.vx >> c.va) || word != "command") continue;
        EXPECT_GE(c.vx, 0) << "reversed";
        EXPECT_LE(std::abs(c.vx - last), 0.2 + 1e-9) << "a jump from " << last << " to " << c.vx;
        rising += c.vx > last;
        last = c.vx;
    }
    EXPECT_GE(rising, 7) << "reached its speed in fewer steps than half-second ones";
}

TEST_F(FollowerTest, StandsStillWithoutAValidTarget) {
    unramped();
    ASSERT_TRUE(place("3,0", 1.5, 0));
    set("target", "-1");
    EXPECT_TRUE(commands(0, 0));
    set("target", "1");
    ASSERT_TRUE(commands(1.5, 0));
    set("target", "5");  // past the end of the person list
    EXPECT_TRUE(commands(0, 0));
    EXPECT_TRUE(follower_.running());
}

// The simulator keeps a command in force until the next one, so silence and deactivation
// must both end in an explicit stop.
TEST_F(FollowerTest, StopsWhenDataStopsAndWhenDeactivated) {
    unramped();
    ASSERT_TRUE(place("3,0", 1.5, 0));
    set("publish", "0");
    EXPECT_TRUE(commands(0, 0, 4s));
    EXPECT_NE(slurp(followerLog()).find("no tracking data for 1 s, stopping"), std::string::npos);
    set("publish", "1");
    ASSERT_TRUE(commands(1.5, 0));
    ASSERT_EQ(ctl({"deactivate", "Follower0"}), 0);
    EXPECT_TRUE(commands(0, 0));
    ASSERT_EQ(ctl({"activate", "Follower0"}), 0);
    EXPECT_TRUE(commands(1.5, 0));
}

// Closed loop: the stand-in's robot starts about 7 m from a person walking a circle.
TEST_F(FollowerTest, ClosesInOnAWalkingPerson) {
    set("scene", "walk");
    bool close = rtctest::waitFor(
        [&] {
            std::istringstream in(slurp(standInLog()));
            double last = 1e9;
            std::string word;
            for (std::string line; std::getline(in, line);) {
                std::istringstream fields(line);
                double d = 0;
                if (fields >> word >> d && word == "distance") {
                    last = d;
                }
            }
            return last < 1.8;
        },
        15s);  // backing up at the reverse limit instead would take well over a minute
    EXPECT_TRUE(close) << slurp(standInLog()).substr(0, 2000);
}

TEST(Follower, HelpPrintsUsageWithoutStarting) {
    std::string dir = rtctest::makeTempDir();
    Process p(FOLLOWER, {"--help"}, dir + "/help.log");
    EXPECT_EQ(exitStatusOf(p, 10s), 0);
    EXPECT_NE(slurp(dir + "/help.log").find("Usage: follower"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// The script runs the simulator itself where it is built, the stand-in otherwise. Ctrl-C
// (SIGINT to the script) or the time limit must leave none of its processes behind.
class DemoScriptTest : public ::testing::TestWithParam<bool> {};

TEST_P(DemoScriptTest, StartsConnectsAndStopsCleanly) {
    bool interrupt = GetParam();
    bool standIn = std::string(DEMO_VOSTREL) == DEMO_STANDIN;
    // Headless whatever the test runs under, so the frames path is taken.
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    rtctest::NameServer ns;
    std::string dir = rtctest::makeTempDir();
    std::string run = dir + "/run";
    std::vector<std::string> args{"--no-build", "--build-dir", DEMO_BUILD_DIR, "--vostrel",
                                  DEMO_VOSTREL, "--ns",        ns.address(),   "--run-dir",
                                  run,          "office"};
    if (!interrupt) {
        args.insert(args.end(), {"--seconds", "5", "--seed", "5"});
    }
    std::string out = dir + "/demo.out";
    Process script(DEMO_SCRIPT, args, out);
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return slurp(out).find("demo: running") != std::string::npos; }, 60s))
        << slurp(out);
    // The follower has a target and its commands arrive.
    EXPECT_TRUE(rtctest::waitFor(
        [&] {
            return slurp(run + "/follower.log").find("following person") != std::string::npos &&
                   (!standIn || lastCommand(run + "/vostrel.log").has_value());
        },
        10s))
        << slurp(run + "/follower.log");
    if (interrupt) {
        ::kill(script.pid(), SIGINT);
    }
    EXPECT_EQ(exitStatusOf(script, 30s), 0) << slurp(out);
    std::string text = slurp(out);
    for (const char* what :
         {"vostrel on office \\(pid ([0-9]+)\\)", "follower \\(pid ([0-9]+)\\)"}) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, std::regex(what))) << text;
        EXPECT_NE(::kill(std::stoi(m[1]), 0), 0) << what << " still running";
    }
    EXPECT_NE(text.find(run + "/frames/"), std::string::npos) << "frames not announced";
    // The seed in use is told, given or drawn by the simulator (the stand-in draws none).
    if (!interrupt) {
        EXPECT_NE(text.find("demo: random seed 5"), std::string::npos) << text;
    } else if (!standIn) {
        EXPECT_TRUE(std::regex_search(
            text, std::regex("demo: random seed [0-9]+ \\(repeat this run with --seed [0-9]+\\)")))
            << text;
    }
    if (!standIn) {
        EXPECT_TRUE(std::filesystem::exists(run + "/frames/000001.png"));
    }
    std::filesystem::remove_all(dir);
}

TEST(DemoScript, RefusesASeedThatIsNoWholeNumber) {
    std::string dir = rtctest::makeTempDir();
    for (const char* seed : {"-3", "4294967296", "1.5", "x"}) {
        Process p(DEMO_SCRIPT, {"--no-build", "--seed", seed}, dir + "/out");
        EXPECT_EQ(exitStatusOf(p, 20s), 2) << seed;
    }
    EXPECT_NE(slurp(dir + "/out")
                  .find("demo: --seed wants a whole number from 0 to 4294967295, "
                        "not 'x'"),
              std::string::npos)
        << slurp(dir + "/out");
    std::filesystem::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Stop, DemoScriptTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "CtrlC" : "TimeLimit"; });

}  // namespace
