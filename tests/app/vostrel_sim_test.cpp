#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::string kSource = VOSTREL_SOURCE_DIR;
const std::string kSim = VOSTREL_SIM;

struct Result {
    int code;
    std::string output;  // standard output and standard error together
};

// Runs vostrel-sim in a scratch directory so that its debug images land there.
Result runSim(const std::string& args) {
    const std::string command =
        "cd " + ::testing::TempDir() + " && " + kSim + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string temp(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

std::string read(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kOffice = " --field " + kSource + "/examples/office.txt --no-images";

TEST(VostrelSim, HelpDocumentsEveryOption) {
    const Result r = runSim("--help");
    EXPECT_EQ(r.code, 0);
    for (const char* option : {"--field", "--set", "--config", "--cycles", "--period", "--realtime",
                               "--seed", "--velocity", "--commands", "--output", "--frames",
                               "--window", "--check", "--no-images"})
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
}

TEST(VostrelSim, BadParametersNameTheKey) {
    Result r = runSim("--set robot_tread=wide" + kOffice);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("robot_tread"), std::string::npos) << r.output;
    r = runSim("--set no_such=1" + kOffice);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("no_such"), std::string::npos);
    const std::string conf = temp("bad.conf", "conf.default.range_data_num: 4.5\n");
    r = runSim("--config " + conf + kOffice);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("bad.conf:1:"), std::string::npos) << r.output;
}

TEST(VostrelSim, CheckReportsLoaderErrorsInItsExitCode) {
    EXPECT_EQ(runSim("--check" + kOffice).code, 0);
    const std::string broken = temp("broken.txt", "Walls { 0, 0, 1;\n}\n");
    const Result r = runSim("--check --no-images --field " + broken);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("Error! Wall data could not create."), std::string::npos);
    EXPECT_EQ(runSim("--check --no-images --field /no/such/file").code, 1);
}

TEST(VostrelSim, SameSeedGivesTheSameBytes) {
    const std::string a = ::testing::TempDir() + "run_a.jsonl";
    const std::string b = ::testing::TempDir() + "run_b.jsonl";
    const std::string args = " --seed 42 --cycles 120 --velocity 0.2,0.1" + kOffice;
    const Result ra = runSim("--output " + a + args);
    const Result rb = runSim("--output " + b + args);
    ASSERT_EQ(ra.code, 0) << ra.output;
    ASSERT_EQ(rb.code, 0);
    const std::string ja = read(a);
    EXPECT_EQ(ja, read(b));
    EXPECT_EQ(std::count(ja.begin(), ja.end(), '\n'), 120);
    EXPECT_NE(ja.find("\"robot_state\""), std::string::npos);
    EXPECT_NE(ja.find("\"sensorState\":\"NORMAL\""), std::string::npos);
    // Timings aside, the consoles agree too.
    EXPECT_EQ(ra.output.substr(0, ra.output.find("Total Execution")),
              rb.output.substr(0, rb.output.find("Total Execution")));
}

TEST(VostrelSim, CrowdErrorStopsTheRunWithExitCodeTwo) {
    // A seat outside every subarea: choosing it fails the crowd step.
    const std::string field =
        temp("seat_outside.txt",
             "Walls { 0,0,10,0; 10,0,10,10; 10,10,0,10; 0,10,0,0; }\n"
             "Entrance { 1, 0.0, 4.0, 0.0, 6.0, 0.0, 0.0; }\n"
             "Destination { S, 1, 20.0, 20.0; }\nActions { 0, S, 1, 0, 1.0, 0.0; }\n"
             "FirstActions 0;\n");
    const Result r =
        runSim("--seed 1 --no-images --set simulate_skip=0 --cycles 5 --field " + field);
    EXPECT_EQ(r.code, 2) << r.output;
    EXPECT_NE(r.output.find("Error: Coordinate is out of subareas.\n"), std::string::npos);
}

TEST(VostrelSim, CommandFileErrorsNameTheLine) {
    const std::string commands = temp("cmds.txt", "1 0.1 0\n2 fast 0\n");
    const Result r = runSim("--commands " + commands + kOffice);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("cmds.txt:2:"), std::string::npos) << r.output;
}

TEST(VostrelSim, CommandWithoutFiniteWheelSpeedsLeavesEveryOutputFinite) {
    const std::string commands = temp("huge.txt", "1 1e308 -1e308\n3 0.3 0.1\n");
    const std::string output = ::testing::TempDir() + "huge.jsonl";
    const Result r =
        runSim("--commands " + commands + " --cycles 5 --seed 3 --output " + output + kOffice);
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("Refused 1 velocity command from " + commands), std::string::npos)
        << r.output;
    const std::string json = read(output);
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), 5);
    for (const char* bad : {"nan", "NaN", "inf", "null"})
        EXPECT_EQ(json.find(bad), std::string::npos) << bad << " in " << json;
    // The later valid command steers as usual.
    EXPECT_NE(json.rfind("\"vx\":0.04"), std::string::npos) << json;
}

}  // namespace
