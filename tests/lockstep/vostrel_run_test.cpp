// vostrel-run end to end: the simulator and a controller in separate processes, ticked in lock
// step over a naming service the runner starts itself on 127.0.0.1.

#include "tests/rtc/rtc_test_env.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <signal.h>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kSource = VOSTREL_SOURCE_DIR;

class VostrelRun : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = rtctest::makeTempDir(); }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs vostrel-run to its end; returns its exit code, its console in log.
    int run(const std::string& name, const std::vector<std::string>& args) {
        rtctest::Process p = start(name, args);
        return finish(p, name);
    }
    rtctest::Process start(const std::string& name, std::vector<std::string> args) {
        args.insert(args.end(),
                    {"--field", kSource + "/examples/station.txt", "--logs", dir_ + "/" + name});
        return rtctest::Process(VOSTREL_RUN, args, dir_ + "/" + name + ".log");
    }
    int finish(rtctest::Process& p, const std::string& name) {
        int status = 0;
        rtctest::waitFor([&] { return !p.running(); }, 120s);
        status = p.stop();
        log = read(dir_ + "/" + name + ".log");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    nlohmann::json metrics(const std::string& name) const {
        std::ifstream in(path(name));
        return nlohmann::json::parse(in);
    }

    std::string dir_;
    std::string log;
};

TEST_F(VostrelRun, SameSeedGivesTheSameBytesAndAnotherSeedDiffers) {
    auto args = [&](const std::string& seed, const std::string& name) {
        return std::vector<std::string>{"--cycles",  "300",
                                        "--seed",    seed,
                                        "--output",  path(name + ".jsonl"),
                                        "--metrics", path(name + ".json")};
    };
    ASSERT_EQ(run("a", args("7", "a")), 0) << log;
    ASSERT_EQ(run("b", args("7", "b")), 0) << log;
    ASSERT_EQ(run("c", args("8", "c")), 0) << log;
    const std::string a = read(path("a.jsonl"));
    EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 300);
    EXPECT_EQ(a, read(path("b.jsonl")));
    EXPECT_NE(a, read(path("c.jsonl")));

    // The simulated clock: the stamps advance by exactly the period, 100 ms.
    const auto first = nlohmann::json::parse(a.substr(0, a.find('\n')));
    const auto second = nlohmann::json::parse(
        a.substr(a.find('\n') + 1, a.find('\n', a.find('\n') + 1) - a.find('\n') - 1));
    auto ms = [](const nlohmann::json& j) {
        return j["persons"]["tm"]["sec"].get<long>() * 1000 +
               j["persons"]["tm"]["nsec"].get<long>() / 1000000;
    };
    EXPECT_EQ(ms(first), 100);
    EXPECT_EQ(ms(second), 200);

    // The follower closed the loop: the robot moved toward the person it follows.
    const nlohmann::json m = metrics("a.json");
    EXPECT_EQ(m["cycles"], 300);
    EXPECT_GT(m["path_length_m"].get<double>(), 1.0) << m.dump(2);
    EXPECT_GT(m["followed_person"]["cycles_present"].get<int>(), 0) << m.dump(2);
    EXPECT_EQ(m["controller"]["status"], "ran");
    EXPECT_EQ(m, metrics("b.json"));
}

// A controller that never answers: dropped after one call timeout, the run goes on.
TEST_F(VostrelRun, ControllerThatDoesNotAnswerIsDroppedAndTheRunGoesOn) {
    std::ofstream(path("hang.conf")) << "test.RtcTestPeer.conf.default.hold_ms: 4000\n";
    ASSERT_EQ(run("hang", {"--controller", RTC_TEST_PEER, "--controller-name", "RtcTestPeer0",
                           "--controller-conf", path("hang.conf"), "--call-timeout", "300",
                           "--cycles", "50", "--seed", "1", "--metrics", path("hang.json")}),
              0)
        << log;
    const nlohmann::json m = metrics("hang.json");
    EXPECT_EQ(m["cycles"], 50);
    EXPECT_EQ(m["controller"]["status"], "did not answer");
    EXPECT_EQ(m["controller"]["lost_at_cycle"], 1);
    EXPECT_NE(log.find("RtcTestPeer0 did not answer"), std::string::npos) << log;
}

// A controller that dies mid-run: the run goes on without it, then exits 2 naming it.
TEST_F(VostrelRun, ControllerThatDiesEndsTheRunWithExitTwo) {
#ifdef VOSTREL_SANITIZED
    // A sanitizer build runs about 80 cycles a second: 8000 would outlast any sane wait.
    const std::string cycles = "1500";
#else
    const std::string cycles = "8000";
#endif
    rtctest::Process p =
        start("die", {"--cycles", cycles, "--seed", "3", "--metrics", path("die.json")});
    pid_t follower = -1;
    ASSERT_TRUE(rtctest::waitFor(
        [&] {
            std::ifstream children("/proc/" + std::to_string(p.pid()) + "/task/" +
                                   std::to_string(p.pid()) + "/children");
            for (pid_t child; children >> child;) {
                const std::string cmd = read("/proc/" + std::to_string(child) + "/cmdline");
                // It prints its first line in its first cycle.
                if (cmd.find("follower") != std::string::npos &&
                    !read(path("die/Follower0.log")).empty())
                    follower = child;
            }
            return follower > 0;
        },
        60s));
    // The runner is held while the follower dies, so the death falls mid-run however fast
    // the build is.
    ::kill(p.pid(), SIGSTOP);
    ::kill(follower, SIGKILL);
    ::kill(p.pid(), SIGCONT);
    ASSERT_TRUE(rtctest::waitFor([&] { return !p.running(); }, 300s));
    EXPECT_EQ(finish(p, "die"), 2) << log;
    EXPECT_NE(log.find("controller Follower0 died"), std::string::npos) << log;
    EXPECT_EQ(metrics("die.json")["controller"]["status"], "died");
}

TEST_F(VostrelRun, HelpAndBadArguments) {
    EXPECT_EQ(run("help", {"--help"}), 0);
    for (const char* option : {"--controller", "--connect", "--cycles", "--seed", "--output",
                               "--metrics", "--frames", "--ns", "--call-timeout", "--set"})
        EXPECT_NE(log.find(option), std::string::npos) << option;
    EXPECT_EQ(run("bad", {"--set", "robot_tread=wide"}), 1);
    EXPECT_NE(log.find("robot_tread"), std::string::npos) << log;
}

}  // namespace
