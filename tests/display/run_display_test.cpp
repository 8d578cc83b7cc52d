#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "display/run_display.hpp"
#include "sim/simulation_run.hpp"

namespace vostrel {
namespace {

struct DisplayedRun : ::testing::Test {
    SimulatedClock clock{0};
    SimulatedClock statsClock{0};
    std::ostringstream console;
    SimulationRun run{clock, statsClock, console, console, 5, {}};
    Configuration config;
    std::filesystem::path frames = std::filesystem::temp_directory_path() /
                                   ("vostrel-run-display-" + std::to_string(getpid()));

    DisplayedRun() {
        config.FieldDataFile = std::string(VOSTREL_SOURCE_DIR) + "/examples/office.txt";
        std::filesystem::remove_all(frames);
    }
    ~DisplayedRun() override { std::filesystem::remove_all(frames); }

    void cycles(int n) {
        for (int i = 0; i < n; ++i) {
            clock.advance(100);
            run.execute(config, std::nullopt);
        }
    }
};

TEST_F(DisplayedRun, OpensAtActivationDrawsEveryCycleAndClosesAtDeactivation) {
    RunDisplay display({{false, frames.string()}, {}}, console);
    run.addObserver(display);
    EXPECT_EQ(display.window(), nullptr);
    run.activate(config);
    ASSERT_NE(display.window(), nullptr);
    EXPECT_EQ(display.window()->framesWritten(), 0u);
    cycles(3);
    EXPECT_EQ(display.window()->framesWritten(), 3u);
    EXPECT_TRUE(std::filesystem::exists(frames / "000002.png"));
    run.deactivate();
    EXPECT_EQ(display.window(), nullptr);

    // A new activation opens a new window, whose frames start again from the first.
    run.activate(config);
    ASSERT_NE(display.window(), nullptr);
    EXPECT_EQ(display.window()->framesWritten(), 0u);
    cycles(1);
    EXPECT_EQ(display.window()->framesWritten(), 1u);
    run.deactivate();
    run.removeObserver(display);
}

// The annotation's band sits above the same world picture the plain display draws.
TEST_F(DisplayedRun, TheAnnotatedWindowIsTheBandTallerThanThePlainOne) {
    RunDisplay plain({{false, ""}, {}}, console);
    RunDisplay annotated({{false, ""}, {true, 2.0}}, console);
    run.addObserver(plain);
    run.addObserver(annotated);
    run.activate(config);
    cycles(2);
    const SimulationWindow& p = *plain.window();
    const SimulationWindow& a = *annotated.window();
    EXPECT_EQ(a.width(), p.width());
    EXPECT_EQ(a.height(), p.height() + AnnotationLayer::bandHeight(p.width()));
    run.deactivate();
}

}  // namespace
}  // namespace vostrel
