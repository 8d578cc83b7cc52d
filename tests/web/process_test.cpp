// The live view switched on in the executables: vostrel by its rtc.conf keys, vostrel-sim by
// --serve, each on 127.0.0.1 and stopped by process id.
#include <gtest/gtest.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/rtc/rtc_test_env.hpp"
#include "tests/web/sse_client.hpp"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

const std::string kSource = VOSTREL_SOURCE_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ServedProcess, TheComponentServesTheViewWhenRtcConfAsks) {
    const std::string dir = rtctest::makeTempDir();
    const int port = rtctest::freePort();
    std::ofstream(dir + "/vostrel.conf")
        << "conf.default.FieldDataFile: " << kSource << "/examples/office.txt\n"
        << "conf.default.simulate_skip: 1\n";
    // No naming service: the component runs without one, and so does its view.
    std::ofstream(dir + "/rtc.conf")
        << "corba.nameservers: 127.0.0.1:" << rtctest::freePort() << "\n"
        << "corba.endpoints: 127.0.0.1:\n"
        << "exec_cxt.periodic.rate: 20\n"
        << "exec_cxt.activation_timeout: 60\n"
        << "manager.components.preactivation: Vostrel0\n"
        << "Simulato.Vostrel.config_file: " << dir << "/vostrel.conf\n"
        << "vostrel.display.window: NO\n"
        << "vostrel.web.port: " << port << "\n";
    rtctest::Process vostrel(VOSTREL_EXE, {"-f", dir + "/rtc.conf"}, dir + "/console.txt");
    ASSERT_TRUE(rtctest::waitFor(
        [&] { return readFile(dir + "/console.txt").find("[ STEP 1 ]") != std::string::npos; },
        60s))
        << readFile(dir + "/console.txt");
    EXPECT_NE(readFile(dir + "/console.txt")
                  .find("vostrel: live view at http://127.0.0.1:" + std::to_string(port) + "/"),
              std::string::npos);

    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    auto env = client.Get("/environment");
    ASSERT_TRUE(env);
    EXPECT_EQ(env->status, 200);
    EXPECT_FALSE(json::parse(env->body)["walls"].empty());
    webtest::SseClient stream(port);
    stream.request("GET", "/state");
    ASSERT_EQ(stream.readHead(), 200);
    const auto first = stream.nextEvent(20s);
    ASSERT_TRUE(first);
    const auto second = stream.nextEvent(20s);
    ASSERT_TRUE(second);
    EXPECT_GT(json::parse(*second)["step"].get<int>(), json::parse(*first)["step"].get<int>());
    vostrel.stop();
    if (!HasFailure()) std::filesystem::remove_all(dir);
}

TEST(ServedProcess, TheSimulatorRunsOnWhenThePortIsTaken) {
    httplib::Server squatter;
    const int port = squatter.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    const std::string dir = rtctest::makeTempDir();
    rtctest::Process sim(VOSTREL_SIM,
                         {"--field", kSource + "/examples/office.txt", "--no-images", "--cycles",
                          "20", "--seed", "3", "--serve", std::to_string(port)},
                         dir + "/sim.log");
    ASSERT_TRUE(rtctest::waitFor([&] { return !sim.running(); }, 60s));
    EXPECT_EQ(sim.stop(), 0);
    const std::string log = readFile(dir + "/sim.log");
    EXPECT_NE(log.find("vostrel-sim: live view: cannot listen on 127.0.0.1:" +
                       std::to_string(port) + " (Address already in use); running without it\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[ STEP 20 ]"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
