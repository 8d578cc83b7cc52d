// One default 480-ray scan against growing numbers of walls and persons.
#include <benchmark/benchmark.h>

#include <vector>

#include "robot/range_sensor.hpp"

namespace vostrel {
namespace {

double uniform(CRandom& rng, double lo, double hi) {
    return lo + (hi - lo) * rng.rand() / CRandom::kMax;
}

// Walls of 1 to 6 m scattered over a 40 m square around the robot.
std::vector<Segment> scatteredWalls(int count, CRandom& rng) {
    std::vector<Segment> walls;
    for (int i = 0; i < count; ++i) {
        const Vec2 a{uniform(rng, -20, 20), uniform(rng, -20, 20)};
        const Vec2 d{uniform(rng, -5, 5), uniform(rng, -5, 5)};
        walls.push_back(Segment{d + d.normalised(), a});
    }
    return walls;
}

void BM_Scan(benchmark::State& state) {
    CRandom rng{42};
    const auto walls = scatteredWalls(static_cast<int>(state.range(0)), rng);
    std::vector<Vec2> persons;
    for (int i = 0; i < state.range(1); ++i)
        persons.push_back({uniform(rng, -15, 15), uniform(rng, -15, 15)});
    RangeSensor sensor(RangeSensorSettings{.noiseSigma = 0.01});
    const Pose2D robot{0.1, 0.2, 0.3};
    for (auto _ : state) {
        sensor.scan(robot, walls, persons, 0.2, rng);
        benchmark::DoNotOptimize(sensor.readings().data());
    }
    state.counters["rays/s"] = benchmark::Counter(480.0 * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Scan)
    ->ArgNames({"walls", "persons"})
    ->ArgsProduct({{10, 100, 1000}, {0, 50, 200}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vostrel
