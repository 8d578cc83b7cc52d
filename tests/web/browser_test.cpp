// The page in a real browser: headless Chromium opens the view of a running vostrel-sim,
// and what it drew is compared with the state it drew from.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "tests/rtc/rtc_test_env.hpp"
#include "tests/web/chromium_pipe.hpp"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using webtest::ChromiumPipe;

const std::string kSource = VOSTREL_SOURCE_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<unsigned char> base64(const std::string& text) {
    std::vector<unsigned char> out;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else
            continue;
        value = (value << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>((value >> bits) & 0xff));
        }
    }
    return out;
}

struct Colour {
    int r, g, b;
};
// As the page draws them.
constexpr Colour kRobot{0x10, 0x60, 0xff};
constexpr Colour kPerson{0x1a, 0x9c, 0x1a};
constexpr Colour kFollowed{0xe0, 0x10, 0x10};

bool near(const cv::Mat& image, int x, int y, Colour c) {
    const cv::Vec3b p = image.at<cv::Vec3b>(y, x);  // blue, green, red
    return std::abs(p[2] - c.r) < 40 && std::abs(p[1] - c.g) < 40 && std::abs(p[0] - c.b) < 40;
}

std::string describe(const cv::Mat& image, int x, int y) {
    const cv::Vec3b p = image.at<cv::Vec3b>(y, x);
    return "rgb(" + std::to_string(p[2]) + "," + std::to_string(p[1]) + "," + std::to_string(p[0]) +
           ")";
}

json waitFor(ChromiumPipe& browser, const std::string& session, const std::string& expression,
             const std::function<bool(const json&)>& done, std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    json value;
    while (std::chrono::steady_clock::now() < end) {
        value = browser.evaluate(session, expression);
        if (done(value)) return value;
        std::this_thread::sleep_for(100ms);
    }
    return value;
}

TEST(BrowserView, ThePageDrawsTheRobotAndThePersonsWhereTheStateSays) {
    const std::string chromium = ChromiumPipe::find();
    if (chromium.empty())
        GTEST_SKIP() << "chromium is not installed (scripts/setup.sh installs it): the page was "
                        "not tried in a browser";
    const std::string dir = rtctest::makeTempDir();
    rtctest::Process sim(
        VOSTREL_SIM,
        {"--field", kSource + "/examples/station.txt", "--no-images", "--realtime", "--cycles",
         "100000", "--seed", "7", "--set", "simulate_skip=1", "--serve", "127.0.0.1:0"},
        dir + "/sim.log");
    std::smatch found;
    std::string log;
    const std::regex address("live view at (http://127\\.0\\.0\\.1:[0-9]+/)");
    ASSERT_TRUE(rtctest::waitFor(
        [&] {
            log = readFile(dir + "/sim.log");
            return std::regex_search(log, found, address);
        },
        30s))
        << log;
    const std::string url = found[1];

    std::filesystem::create_directories(dir + "/profile");
    ChromiumPipe browser(chromium, dir + "/profile", dir + "/chromium.log");
    const std::string target =
        browser.call("Target.createTarget", {{"url", "about:blank"}}, "", 60s)["targetId"];
    const std::string session = browser.call(
        "Target.attachToTarget", {{"targetId", target}, {"flatten", true}})["sessionId"];
    browser.call("Emulation.setDeviceMetricsOverride",
                 {{"width", 900}, {"height", 600}, {"deviceScaleFactor", 1}, {"mobile", false}},
                 session);
    browser.call("Page.navigate", {{"url", url}}, session);

    const json received = waitFor(
        browser, session,
        "window.vostrelView && vostrelView.environment && vostrelView.state ? vostrelView.states : "
        "0",
        [](const json& v) { return v.is_number() && v.get<int>() >= 5; }, 60s);
    ASSERT_GE(received.get<int>(), 5) << readFile(dir + "/chromium.log");

    // Hold the picture, and take the panel away from over the canvas.
    const int drawn = browser.evaluate(
        session,
        "vostrelView.pause(true); document.getElementById('panel').style.display = 'none'; "
        "vostrelView.drawn");
    waitFor(
        browser, session, "vostrelView.drawn", [&](const json& v) { return v.get<int>() > drawn; },
        10s);
    const json probe = json::parse(
        browser
            .evaluate(session,
                      "JSON.stringify({state: vostrelView.state, view: vostrelView.view, "
                      "step: document.getElementById('step').textContent, "
                      "persons: document.getElementById('persons').textContent, "
                      "seed: document.getElementById('seed').textContent})")
            .get<std::string>());
    const json shot = browser.call("Page.captureScreenshot", {{"format", "png"}}, session);
    const std::vector<unsigned char> png = base64(shot["data"].get<std::string>());
    const cv::Mat image = cv::imdecode(png, cv::IMREAD_COLOR);
    ASSERT_FALSE(image.empty());
    ASSERT_EQ(image.cols, 900);
    ASSERT_EQ(image.rows, 600);
    cv::imwrite(dir + "/view.png", image);

    // The numbers on the page are those of the state on the canvas.
    const json& state = probe["state"];
    EXPECT_GT(state["step"].get<int>(), 0);
    EXPECT_EQ(probe["step"], std::to_string(state["step"].get<int>()));
    EXPECT_EQ(probe["persons"], std::to_string(state["persons"].size()));
    EXPECT_EQ(probe["seed"], "7");
    ASSERT_FALSE(state["persons"].empty());

    const double scale = probe["view"]["scale"], ox = probe["view"]["ox"], oy = probe["view"]["oy"];
    struct Spot {
        int x, y;
        Colour colour;
        std::string what;
    };
    std::vector<Spot> spots;
    auto pixel = [&](const json& thing) {
        return std::pair{static_cast<int>(std::floor(ox + thing["x"].get<double>() * scale)),
                         static_cast<int>(std::floor(oy - thing["y"].get<double>() * scale))};
    };
    const auto [rx, ry] = pixel(state["robot"]);
    spots.push_back({rx, ry, kRobot, "the robot"});
    for (const json& p : state["persons"]) {
        const auto [x, y] = pixel(p);
        spots.push_back({x, y, p["id"] == state["followed"] ? kFollowed : kPerson,
                         "person " + std::to_string(p["id"].get<int>())});
    }
    // Each disc's centre shows its colour unless another agent, its heading or its label is
    // within reach; the robot is drawn last and shows always.
    int checked = 0;
    for (std::size_t i = 0; i < spots.size(); ++i) {
        const Spot& s = spots[i];
        if (s.x < 0 || s.y < 0 || s.x >= image.cols || s.y >= image.rows) continue;
        bool crowded = false;
        for (std::size_t j = 1; j < spots.size() && i != 0; ++j)
            if (j != i && std::hypot(spots[j].x - s.x, spots[j].y - s.y) < 30) crowded = true;
        if (crowded) continue;
        ++checked;
        EXPECT_TRUE(near(image, s.x, s.y, s.colour))
            << s.what << " at pixel " << s.x << "," << s.y << " shows " << describe(image, s.x, s.y)
            << "; the screenshot is " << dir << "/view.png";
    }
    EXPECT_GE(checked, 2) << "the robot and at least one person were looked at";
    // Away from the environment the canvas is blank.
    EXPECT_TRUE(near(image, 895, 4, {255, 255, 255})) << describe(image, 895, 4);
    sim.stop();
    if (!HasFailure()) std::filesystem::remove_all(dir);  // kept to look at otherwise
}

}  // namespace
