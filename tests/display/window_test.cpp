#include "display/window.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "display/display_probe.hpp"
#include "display/simulation_window.hpp"
#include "virtual_display.hpp"

namespace vostrel {
namespace {

// Sets or clears the two display variables for one test and puts them back afterwards.
class DisplayEnvironment {
  public:
    DisplayEnvironment(const char* display, const char* wayland) {
        save("DISPLAY", savedDisplay_);
        save("WAYLAND_DISPLAY", savedWayland_);
        put("DISPLAY", display);
        put("WAYLAND_DISPLAY", wayland);
    }
    ~DisplayEnvironment() {
        put("DISPLAY", savedDisplay_ ? savedDisplay_->c_str() : nullptr);
        put("WAYLAND_DISPLAY", savedWayland_ ? savedWayland_->c_str() : nullptr);
    }

  private:
    static void save(const char* name, std::optional<std::string>& into) {
        if (const char* v = std::getenv(name)) into = v;
    }
    static void put(const char* name, const char* value) {
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    std::optional<std::string> savedDisplay_;
    std::optional<std::string> savedWayland_;
};

std::filesystem::path scratch(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("vostrel-display-" + std::to_string(getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    return dir;
}

TEST(WindowHeadless, WithoutADisplayItDrawsAndSaysSoOnce) {
    DisplayEnvironment none(nullptr, nullptr);
    EXPECT_FALSE(displayReachable());
    std::ostringstream console;
    Window w("Vostrel", 30, 20, WindowOptions{}, console);
    EXPECT_FALSE(w.onScreen());
    EXPECT_EQ(console.str(), std::string(kNoDisplay) + "\n");
    w.show();
    w.clear();
    w.show();
    EXPECT_EQ(console.str(), std::string(kNoDisplay) + "\n");
    EXPECT_EQ(w.framesWritten(), 0u);
}

TEST(WindowHeadless, UnreachableDisplaysCountAsNone) {
    {
        DisplayEnvironment dead(":65000", nullptr);  // no server listens there
        EXPECT_FALSE(displayReachable());
        std::ostringstream console;
        Window w("t", 4, 4, WindowOptions{}, console);
        EXPECT_FALSE(w.onScreen());
    }
    {
        DisplayEnvironment noSocket(nullptr, "/nonexistent/wayland-0");
        EXPECT_FALSE(displayReachable());
    }
}

TEST(WindowFrames, EveryShownFrameIsANumberedPng) {
    const auto dir = scratch("frames");
    std::ostringstream console;
    Walls walls;
    walls.add(Segment::fromPoints({0.0, 0.0}, {2.0, 1.0}));
    auto window = openSimulationWindow(walls, DisplaySettings{0.05},
                                       WindowOptions{false, (dir / "a/b").string()}, console);
    const std::vector<Segment> wallList = walls.all();
    for (int i = 0; i < 3; ++i) {
        const std::vector<Pose2D> robots{{0.5 + 0.3 * i, 0.5, 0.0}};
        window->displayStep(DisplayScene{{}, false, wallList, robots, {}, 2});
    }
    EXPECT_EQ(window->framesWritten(), 3u);
    EXPECT_TRUE(console.str().empty());
    EXPECT_TRUE(std::filesystem::exists(dir / "a/b/000000.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "a/b/000001.png"));
    const cv::Mat last = cv::imread((dir / "a/b/000002.png").string(), cv::IMREAD_COLOR);
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(cv::norm(last, window->image(), cv::NORM_INF), 0.0);
    std::filesystem::remove_all(dir);
}

TEST(WindowFrames, AnUnusableDirectoryIsReportedAndDrawingGoesOn) {
    const auto dir = scratch("blocked");
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "file") << "x";
    std::ostringstream console;
    Window w("t", 4, 4, WindowOptions{false, (dir / "file" / "frames").string()}, console);
    EXPECT_NE(console.str().find("Cannot create the frame directory"), std::string::npos);
    w.show();
    EXPECT_EQ(w.framesWritten(), 0u);
    std::filesystem::remove_all(dir);
}

// With a display the window really opens. The on-screen part runs in a child process: the
// window library keeps a connection to the server for the rest of the process, and would take
// the test binary down when the server stops.
TEST(WindowOnScreen, OpensShowsAndClosesOnAVirtualDisplay) {
    testing::VirtualDisplay xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "no virtual display: " << xvfb.why();
    DisplayEnvironment on(xvfb.name().c_str(), nullptr);
    EXPECT_TRUE(displayReachable());

    const auto dir = scratch("onscreen");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        {
            std::ostringstream console;
            Walls walls;
            walls.add(Segment::fromPoints({0.0, 0.0}, {3.0, 2.0}));
            auto window = openSimulationWindow(walls, DisplaySettings{0.05},
                                               WindowOptions{true, dir.string()}, console);
            failures += !window->onScreen();
            failures += !console.str().empty();
            const std::vector<Pose2D> robots{{1.0, 1.0, 0.5}};
            const std::vector<Segment> wallList = walls.all();
            for (int i = 0; i < 5; ++i)
                window->displayStep(DisplayScene{{}, false, wallList, robots, {}, 2});
            failures += window->framesWritten() != 5;
            failures += window->image().at<cv::Vec3b>(window->discCentre({1.0, 1.0})) !=
                        cv::Vec3b(0, 127, 255);
        }
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the windowed child crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "000004.png"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vostrel
