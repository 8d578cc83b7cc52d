// The live view fed by a simulation run: what the stream carries is the run's own cycle, and
// watching changes nothing in the run.
#include <gtest/gtest.h>

#include <httplib.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

#include "app/output_json.hpp"
#include "sim/simulation_run.hpp"
#include "tests/web/sse_client.hpp"
#include "web/run_view.hpp"

namespace vostrel {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

const std::string kSource = VOSTREL_SOURCE_DIR;

Configuration stationConfig() {
    Configuration c;
    c.FieldDataFile = kSource + "/examples/station.txt";
    c.simulate_skip = 1;  // persons from the first cycle on
    return c;
}

RunOptions headless() {
    RunOptions o;
    return o;
}

struct Harness {
    SimulatedClock clock{0};
    SimulatedClock statsClock{0};
    std::ostringstream console;
    SimulationRun run{clock, statsClock, console, console, 11, headless()};
    void cycle(const Configuration& c) {
        clock.advance(100);
        run.execute(c, std::nullopt);
    }
};

bool eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 15s;
    while (!condition() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    return condition();
}

TEST(RunView, TheStreamCarriesThePersonsOfTheCurrentCycle) {
    Harness h;
    std::ostringstream console;
    auto view = RunView::open(h.run, {"127.0.0.1", 0}, console, "test");
    ASSERT_TRUE(view);
    EXPECT_NE(console.str().find("test: live view at http://127.0.0.1:"), std::string::npos);
    const Configuration config = stationConfig();
    h.run.activate(config);

    httplib::Client client("127.0.0.1", view->server().port());
    auto env = client.Get("/environment");
    ASSERT_TRUE(env);
    ASSERT_EQ(env->status, 200);
    const json environment = json::parse(env->body);
    EXPECT_EQ(environment["run"], 1);
    EXPECT_EQ(environment["walls"].size(), h.run.environment().walls.all().size());
    EXPECT_EQ(environment["queues"].size(),
              static_cast<std::size_t>(h.run.environment().queues.size()));
    EXPECT_FALSE(environment["subareas"].empty());

    webtest::SseClient stream(view->server().port());
    stream.request("GET", "/state");
    ASSERT_EQ(stream.readHead(), 200);
    ASSERT_TRUE(eventually([&] { return view->server().streams() == 1; }));
    for (int cycle = 1; cycle <= 3; ++cycle) {
        h.cycle(config);
        const auto event = stream.nextEvent();
        ASSERT_TRUE(event);
        const json state = json::parse(*event);
        EXPECT_EQ(state["step"], cycle);
        EXPECT_EQ(state["run"], 1);
        EXPECT_EQ(state["seed"], 11);
        EXPECT_DOUBLE_EQ(state["time"].get<double>(), 0.1 * cycle);
        EXPECT_EQ(state["followed"], config.following_target_id);
        const std::vector<Person>& persons = h.run.crowd()->persons();
        ASSERT_FALSE(persons.empty());
        ASSERT_EQ(state["persons"].size(), persons.size());
        for (std::size_t i = 0; i < persons.size(); ++i) {
            EXPECT_EQ(state["persons"][i]["id"], persons[i].id);
            EXPECT_NEAR(state["persons"][i]["x"].get<double>(), persons[i].position().x, 0.0005);
            EXPECT_NEAR(state["persons"][i]["y"].get<double>(), persons[i].position().y, 0.0005);
            EXPECT_NEAR(state["persons"][i]["vx"].get<double>(), persons[i].velocity().x, 0.0005);
        }
        EXPECT_NEAR(state["robot"]["x"].get<double>(), h.run.robotPose().x, 0.0005);
        EXPECT_EQ(state["seats"].size(), h.run.state().seats.size());
        EXPECT_EQ(state["queues"].size(), h.run.state().queues.size());
        EXPECT_EQ(state["populations"].size(), environment["subareas"].size());
        const auto rays = static_cast<std::size_t>(h.run.sensor().rayCount());
        EXPECT_GT(state["laser"]["ends"].size(), 0u);
        EXPECT_LE(state["laser"]["ends"].size(), std::min<std::size_t>(rays, 180));
        std::this_thread::sleep_for(60ms);  // past the viewer's rate limit
    }
}

TEST(RunView, WatchingLeavesTheRunAsItWas) {
    const Configuration config = stationConfig();
    auto outputs = [&](bool watched) {
        Harness h;
        std::ostringstream console;
        std::unique_ptr<RunView> view;
        std::unique_ptr<webtest::SseClient> stream;
        if (watched) {
            view = RunView::open(h.run, {"127.0.0.1", 0}, console, "test");
            stream = std::make_unique<webtest::SseClient>(view->server().port());
            stream->request("GET", "/state");
            EXPECT_TRUE(eventually([&] { return view->server().streams() == 1; }));
        }
        h.run.activate(config);
        std::string all;
        for (int i = 0; i < 40; ++i) {
            h.cycle(config);
            all += toJson(h.run.outputs()).dump() + "\n";
        }
        h.run.deactivate();
        return all + h.console.str();  // cycle times too: the statistics clock is simulated
    };
    EXPECT_EQ(outputs(true), outputs(false));
}

TEST(RunView, AReactivationAnnouncesANewEnvironment) {
    Harness h;
    std::ostringstream console;
    auto view = RunView::open(h.run, {"127.0.0.1", 0}, console, "test");
    ASSERT_TRUE(view);
    Configuration config = stationConfig();
    h.run.activate(config);
    h.cycle(config);
    h.run.deactivate();
    config.FieldDataFile = kSource + "/examples/office.txt";
    h.run.activate(config);
    httplib::Client client("127.0.0.1", view->server().port());
    auto env = client.Get("/environment");
    ASSERT_TRUE(env);
    const json doc = json::parse(env->body);
    EXPECT_EQ(doc["run"], 2);
    EXPECT_EQ(doc["walls"].size(), h.run.environment().walls.all().size());
}

TEST(RunView, ConfigurationKeysSwitchItOnOrSayWhatIsWrong) {
    Harness h;
    std::ostringstream console;
    EXPECT_FALSE(openRunView(h.run, "", "0", console, "vostrel"));
    EXPECT_FALSE(openRunView(h.run, "", "", console, "vostrel"));
    EXPECT_EQ(console.str(), "") << "off is the quiet default";
    EXPECT_FALSE(openRunView(h.run, "", "http", console, "vostrel"));
    EXPECT_EQ(console.str(),
              "vostrel: vostrel.web.port: expected a port number 1..65535 (0 = off), not 'http'; "
              "running without the live view\n");

    auto first = RunView::open(h.run, {"127.0.0.1", 0}, console, "vostrel");
    ASSERT_TRUE(first);
    const std::string taken = std::to_string(first->server().port());
    Harness other;
    console.str("");
    EXPECT_FALSE(openRunView(other.run, "127.0.0.1", taken, console, "vostrel"));
    EXPECT_EQ(console.str(), "vostrel: live view: cannot listen on 127.0.0.1:" + taken +
                                 " (Address already in use); running without it\n");
    // The run does not miss it.
    other.run.activate(stationConfig());
    other.clock.advance(100);
    other.run.execute(stationConfig(), std::nullopt);
    EXPECT_EQ(other.run.stepCount(), 1);
}

TEST(RunView, AnAddressBeyondThisMachineIsWarnedAbout) {
    Harness h;
    std::ostringstream console;
    auto view = RunView::open(h.run, {"0.0.0.0", 0}, console, "vostrel-sim");
    ASSERT_TRUE(view);
    const std::string text = console.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_NE(text.find("vostrel-sim: warning: the live view on 0.0.0.0:"), std::string::npos);
    EXPECT_NE(text.find("no authentication"), std::string::npos);
}

}  // namespace
}  // namespace vostrel
