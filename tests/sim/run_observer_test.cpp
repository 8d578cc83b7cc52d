#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sim/simulation_run.hpp"

namespace vostrel {
namespace {

// Writes each call into the run's own console, so that the test sees where in the run's
// output the call came.
class Recorder final : public RunObserver {
  public:
    Recorder(std::ostream& console, std::string name) : console_(console), name_(std::move(name)) {}
    void starting(const SimulationRun& run, const Configuration&) override {
        console_ << "<" << name_ << " starting " << run.stepCount() << ">\n";
    }
    void cycleReady(const SimulationRun& run, const Configuration&) override {
        console_ << "<" << name_ << " ready " << run.stepCount() << " "
                 << run.crowd()->persons().size() << ">\n";
    }
    void observe(const SimulationRun& run, const Configuration&) override {
        console_ << "<" << name_ << " observe " << run.stepCount() << ">\n";
    }
    void stopped(const SimulationRun&) override { console_ << "<" << name_ << " stopped>\n"; }

  private:
    std::ostream& console_;
    std::string name_;
};

struct ObservedRun : ::testing::Test {
    SimulatedClock clock{0};
    SimulatedClock statsClock{0};
    std::ostringstream console;
    SimulationRun run{clock, statsClock, console, console, 3, {}};
    Configuration config;

    ObservedRun() {
        config.FieldDataFile = std::string(VOSTREL_SOURCE_DIR) + "/examples/office.txt";
    }

    void cycle() {
        clock.advance(100);
        run.execute(config, std::nullopt);
    }
    // Where text first appears in the console after from; fails the test when it does not.
    std::size_t at(const std::string& text, std::size_t from = 0) {
        const std::size_t where = console.str().find(text, from);
        EXPECT_NE(where, std::string::npos) << "no " << text << " after " << from;
        return where;
    }
};

// The window relies on these points: it opens before the initialisation is declared finished,
// draws before the person count is printed, and closes after the summary.
TEST_F(ObservedRun, EachCallComesAtItsPointOfTheRunInTheOrderTheObserversWereAdded) {
    Recorder first(console, "a");
    Recorder second(console, "b");
    run.addObserver(first);
    run.addObserver(second);
    run.activate(config);
    const std::size_t starting = at("<a starting 0>\n<b starting 0>\n");
    EXPECT_LT(at("- Start Initialization"), starting);
    EXPECT_LT(starting, at("- Finish Initialization"));
    const std::size_t activated = at("<a observe 0>\n<b observe 0>\n");
    EXPECT_LT(at("- Finish Initialization"), activated);

    cycle();
    const std::size_t step = at("[ STEP 1 ]");
    const std::size_t ready = at("<a ready 1 ", step);
    EXPECT_LT(ready, at("<b ready 1 ", step));
    const std::size_t count = at("Number of persons = ", step);
    EXPECT_LT(at("<b ready 1 ", step), count);
    EXPECT_LT(count, at("<a observe 1>\n<b observe 1>\n", step));

    run.deactivate();
    const std::size_t summary = at("Total Execution Time");
    EXPECT_LT(summary, at("<a stopped>\n<b stopped>\n"));
}

TEST_F(ObservedRun, ARemovedObserverHearsNothingMoreAndTheOthersGoOn) {
    Recorder kept(console, "kept");
    Recorder gone(console, "gone");
    run.addObserver(gone);
    run.addObserver(kept);
    run.activate(config);
    run.removeObserver(gone);
    const std::size_t from = console.str().size();
    cycle();
    run.deactivate();
    EXPECT_EQ(console.str().find("<gone", from), std::string::npos);
    at("<kept ready 1 ", from);
    at("<kept stopped>", from);
    run.removeObserver(gone);  // twice is harmless
}

}  // namespace
}  // namespace vostrel
