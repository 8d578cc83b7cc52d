#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>

#include "../display/gif_reader.hpp"

namespace {

const std::string kSource = VOSTREL_SOURCE_DIR;
const std::string kSim = VOSTREL_SIM;

struct Result {
    int code;
    std::string output;  // standard output and standard error together
};

// Runs a shell command in a scratch directory, so that debug images land there.
Result runShell(const std::string& shell) {
    const std::string command = "cd " + ::testing::TempDir() + " && " + shell + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

Result runSim(const std::string& args) {
    return runShell(kSim + " " + args);
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
    for (const char* option :
         {"--field", "--set", "--config", "--cycles", "--period", "--realtime", "--seed",
          "--velocity", "--commands", "--output", "--frames", "--window", "--check", "--no-images",
          "--annotate", "--trails", "--gif", "--progress"})
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

// The crowd's parallel work changes no bit, whatever the count; a busy station shows it.
TEST(VostrelSim, EveryThreadCountGivesTheSameBytes) {
    const std::string args = " --seed 7 --cycles 300 --no-images --set simulate_skip=1 --field " +
                             kSource + "/examples/station.txt";
    std::string first;
    for (const int n : {1, 2, 3}) {
        const std::string out = ::testing::TempDir() + "threads_" + std::to_string(n) + ".jsonl";
        const Result r = runSim("--threads " + std::to_string(n) + " --output " + out + args);
        ASSERT_EQ(r.code, 0) << r.output;
        const std::string bytes = read(out);
        ASSERT_FALSE(bytes.empty());
        if (n == 1) first = bytes;
        EXPECT_EQ(bytes, first) << "--threads " << n;
    }
    EXPECT_NE(runSim("--threads 0" + args).code, 0);
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

// The metrics are printed after the summary and written as JSON that agrees with the run.
TEST(VostrelSim, MetricsArePrintedAndWrittenAsJson) {
    const std::string metrics = ::testing::TempDir() + "metrics.json";
    const Result r = runSim("--seed 5 --cycles 40 --velocity 0.5,0 --metrics " + metrics + kOffice);
    ASSERT_EQ(r.code, 0) << r.output;
    EXPECT_NE(r.output.find("Run metrics (40 cycles)\n  path length of the robot      : "),
              std::string::npos)
        << r.output;
    const std::string json = read(metrics);
    EXPECT_NE(json.find("\"cycles\": 40"), std::string::npos) << json;
    EXPECT_NE(json.find("\"path_length_m\": "), std::string::npos) << json;
    EXPECT_EQ(json.find("\"path_length_m\": 0.0"), std::string::npos) << "the robot drove";
    EXPECT_EQ(runSim("--cycles 1 --metrics /nonexistent/m.json" + kOffice).code, 1);
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

// Width and height from a PNG file's header.
std::pair<int, int> pngSize(const std::string& path) {
    const std::string png = read(path);
    if (png.size() < 24) return {0, 0};
    const auto word = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
        return v;
    };
    return {word(16), word(20)};
}

TEST(VostrelSim, AnnotatedPicturesAndTheAnimation) {
    const std::string dir = ::testing::TempDir();
    const std::string args = " --seed 5 --cycles 12 --set display_range_data=1" + kOffice;
    const Result plain = runSim("--frames " + dir + "plain --output " + dir + "plain.jsonl" + args);
    ASSERT_EQ(plain.code, 0) << plain.output;
    const Result annotated = runSim("--annotate --trails 2 --frames " + dir + "annotated --gif " +
                                    dir + "run.gif --output " + dir + "annotated.jsonl" + args);
    ASSERT_EQ(annotated.code, 0) << annotated.output;
    EXPECT_NE(annotated.output.find("vostrel-sim: animation of 12 frames in " + dir + "run.gif\n"),
              std::string::npos)
        << annotated.output;

    // The picture grows a band on top; the data stays what it was.
    const auto [w, h] = pngSize(dir + "plain/000011.png");
    const auto [aw, ah] = pngSize(dir + "annotated/000011.png");
    EXPECT_EQ(aw, w);
    EXPECT_GT(ah, h);
    EXPECT_EQ(read(dir + "plain.jsonl"), read(dir + "annotated.jsonl"));

    const vostrel::testing::GifFile gif = vostrel::testing::readGif(dir + "run.gif");
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.frames.size(), 12u);
    EXPECT_EQ(gif.width, aw);
    EXPECT_EQ(gif.height, ah);
    EXPECT_EQ(gif.delays.front(), 10);  // the 100 ms period

    // The same seed gives the same file.
    ASSERT_EQ(runSim("--annotate --trails 2 --gif " + dir + "again.gif" + args).code, 0);
    EXPECT_EQ(read(dir + "run.gif"), read(dir + "again.gif"));
}

TEST(VostrelSim, PictureOptionsRefuseWhatCannotWork) {
    Result r = runSim("--gif /no/such/dir/run.gif --cycles 2" + kOffice);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.output.find("vostrel-sim: cannot write /no/such/dir/run.gif"), std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("[ STEP"), std::string::npos);  // refused before the run
    r = runSim("--trails 3 --frames " + ::testing::TempDir() + "t" + kOffice);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.output.find("--annotate"), std::string::npos) << r.output;
    r = runSim("--annotate --seed 1 --cycles 1" + kOffice);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.output.find("--annotate has no effect without --window, --frames or --gif"),
              std::string::npos);
}

TEST(VostrelSim, ProgressLineOnlyWhereItBelongs) {
    // Into a pipe: nothing without --progress, whole lines with it.
    Result r = runSim("--quiet --seed 3 --cycles 5" + kOffice);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.output, "");
    r = runSim("--quiet --progress --seed 3 --cycles 5" + kOffice);
    EXPECT_EQ(r.code, 0);
    // A fast machine may finish within the clock's tick and know no rate.
    const std::regex line(
        "cycle 5/5  t 0\\.5 s  persons \\d+  ([0-9.]+|-) cycles/s  0:00:00 left\n");
    EXPECT_TRUE(std::regex_search(r.output, line)) << r.output;
    EXPECT_EQ(r.output.find('\r'), std::string::npos);

    // On a terminal --quiet alone redraws one line in place.
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
    r = runShell("script -qec '" + kSim + " --quiet --seed 3 --cycles 5" + kOffice + "' /dev/null");
    EXPECT_EQ(r.code, 0) << r.output;
    EXPECT_TRUE(std::regex_search(
        r.output, std::regex("\rcycle 5/5  t 0\\.5 s  persons \\d+  ([0-9.]+|-) cycles/s  0:00:00 "
                             "left\033\\[K\r?\n")))
        << r.output;
    EXPECT_EQ(r.output.find("[ STEP"), std::string::npos);
}

}  // namespace
