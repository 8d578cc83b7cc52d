#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
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

}  // namespace

namespace {

TEST(VostrelSim, AnEnvironmentThatDidNotLoadFailsBothTheRunAndTheCheck) {
    const std::string broken = temp("broken_run.txt", "Walls {\n  0, 0, 1, 1;\n  2, 2 3, 3;\n}\n");
    const std::string empty = temp("empty_run.txt", "# nothing but a comment\n");
    const std::string dir = ::testing::TempDir() + "a_directory";
    std::filesystem::create_directories(dir);
    for (const std::string& file : {broken, empty, dir, ::testing::TempDir() + "no_such.txt"}) {
        const Result run = runSim("--seed 1 --no-images --cycles 3 --field " + file);
        EXPECT_EQ(run.code, 1) << file << "\n" << run.output;
        EXPECT_EQ(run.output.find("[ STEP 1 ]"), std::string::npos) << file;
        EXPECT_EQ(runSim("--check --no-images --field " + file).code, 1) << file;
    }
}

TEST(VostrelSim, CheckNamesThePlaceWhereLoadingStoppedAfterTheLoadersMessage) {
    const std::string broken =
        temp("broken_place.txt", "Walls {\n  0, 0, 1, 1;\n  2, 2 3, 3;\n}\n");
    Result r = runSim("--check --no-images --field " + broken);
    const auto message = r.output.find(
        "Error! Data could not create.\n"
        "       Need ',' or ';' at number's back.\n");
    const auto place = r.output.find(broken + ":3:8: ");
    ASSERT_NE(message, std::string::npos) << r.output;
    ASSERT_NE(place, std::string::npos) << r.output;
    EXPECT_LT(message, place);

    const std::string empty = temp("empty_place.txt", "\n\n");
    r = runSim("--check --no-images --field " + empty);
    EXPECT_NE(r.output.find(empty + ":3:1: "), std::string::npos) << r.output;
}

TEST(VostrelSim, SettingsOutsideTheirRangeAreWarnedAboutAndStillUsed) {
    const Result r = runSim(
        "--seed 1 --cycles 1 --set range_data_num=0 --set simulate_skip=7 "
        "--output " +
        ::testing::TempDir() + "warned.jsonl" + kOffice);
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("Warning: range_data_num 0 is outside x>=1"), std::string::npos);
    EXPECT_NE(r.output.find("Warning: simulate_skip 7 is outside (0,1,2)"), std::string::npos);
    EXPECT_NE(read(::testing::TempDir() + "warned.jsonl").find("\"distance\":[]"),
              std::string::npos);
}

TEST(VostrelSim, AConfigFileFindsItsEnvironmentNextToItself) {
    const std::string dir = ::testing::TempDir() + "conf_dir/";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(kSource + "/examples/office.txt", dir + "refuse_office.txt",
                               std::filesystem::copy_options::overwrite_existing);
    temp("conf_dir/office.conf", "conf.default.FieldDataFile: refuse_office.txt   # next to me\n");
    const Result r = runSim("--seed 1 --cycles 1 --no-images --config " + dir + "office.conf");
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find(" Walls              : "), std::string::npos);
    // Named on the command line instead, it is looked for in the working directory only.
    const Result elsewhere = runSim("--seed 1 --cycles 1 --no-images --config " + dir +
                                    "office.conf --field ./refuse_office.txt");
    EXPECT_EQ(elsewhere.code, 1);
    EXPECT_NE(elsewhere.output.find("The environment file was looked for at "), std::string::npos);
}

}  // namespace
