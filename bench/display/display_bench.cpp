// One display step drawn without a screen (the 1 ms event pump of a shown window comes on
// top): a 20 m x 15 m environment at 20 pixels per metre, 100 walls, the robot, persons and,
// optionally, the 480 rays of a scan.
#include <benchmark/benchmark.h>

#include <sstream>
#include <vector>

#include "display/simulation_window.hpp"
#include "robot/range_sensor.hpp"

namespace vostrel {
namespace {

double uniform(CRandom& rng, double lo, double hi) {
    return lo + (hi - lo) * rng.rand() / CRandom::kMax;
}

void BM_DisplayStep(benchmark::State& state) {
    CRandom rng{3};
    Walls walls;
    for (int i = 0; i < 100; ++i) {
        const Vec2 a{uniform(rng, 0, 20), uniform(rng, 0, 15)};
        walls.add(Segment::fromPoints(a, a + Vec2{uniform(rng, -3, 3), uniform(rng, -3, 3)}));
    }
    std::vector<PersonDrawData> persons;
    for (int i = 0; i < state.range(0); ++i)
        persons.push_back({{uniform(rng, 0, 20), uniform(rng, 0, 15)},
                           {uniform(rng, -1, 1), uniform(rng, -1, 1)},
                           i});
    const std::vector<Pose2D> robots{{10.0, 7.5, 0.3}};
    RangeSensor sensor(RangeSensorSettings{});
    sensor.scan(robots[0], walls.all(), {}, 0.2, rng);

    std::ostringstream console;
    auto window =
        openSimulationWindow(walls, DisplaySettings{0.05}, WindowOptions{false, ""}, console);
    const DisplayScene scene{
        sensor.displayRays(), state.range(1) != 0, walls.all(), robots, persons, 2};
    for (auto _ : state) {
        window->displayStep(scene);
        benchmark::DoNotOptimize(window->image().data);
    }
}
BENCHMARK(BM_DisplayStep)
    ->ArgNames({"persons", "rays"})
    ->ArgsProduct({{50, 200}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vostrel
