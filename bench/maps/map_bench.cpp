// The per-cycle local map work (grid update around the robot plus the record copy) and the
// activation-time absolute map, against the number of walls.
#include <benchmark/benchmark.h>

#include <vector>

#include "maps/absolute_map.hpp"
#include "maps/relative_map.hpp"
#include "platform/c_random.hpp"

namespace vostrel {
namespace {

double uniform(CRandom& rng, double lo, double hi) {
    return lo + (hi - lo) * rng.rand() / CRandom::kMax;
}

// Walls of up to 6 m in a 40 m x 40 m building; the robot stands in its middle.
Walls building(int count) {
    CRandom rng{7};
    Walls walls;
    for (int i = 0; i < count; ++i) {
        const Vec2 a{uniform(rng, 0, 40), uniform(rng, 0, 40)};
        walls.add(Segment::fromPoints(a, a + Vec2{uniform(rng, -6, 6), uniform(rng, -6, 6)}));
    }
    return walls;
}

void BM_RelativeMapRefresh(benchmark::State& state) {
    const Walls walls = building(static_cast<int>(state.range(0)));
    GridMap local(200, 200, 0.05);
    RelativeMapData record;
    Pose2D robot{20.0, 20.0, 0.4};
    for (auto _ : state) {
        robot.heading += 0.01;
        local.update(walls.all(), robot);
        refreshRelativeMap(record, local, TimeStamp{}, robot);
        benchmark::DoNotOptimize(record.cells.data());
    }
}
BENCHMARK(BM_RelativeMapRefresh)
    ->ArgName("walls")
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

void BM_AbsoluteMapBuild(benchmark::State& state) {
    const Walls walls = building(static_cast<int>(state.range(0)));
    AbsoluteMapData record;
    for (auto _ : state) {
        buildAbsoluteMap(record, walls, AbsoluteMapSettings{0.1}, TimeStamp{});
        benchmark::DoNotOptimize(record.cells.data());
    }
}
BENCHMARK(BM_AbsoluteMapBuild)
    ->ArgName("walls")
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_SubMap(benchmark::State& state) {
    AbsoluteMapData record;
    buildAbsoluteMap(record, building(100), AbsoluteMapSettings{0.1}, TimeStamp{});
    for (auto _ : state) benchmark::DoNotOptimize(subMap(record, 5.0, 5.0, 200, 200));
}
BENCHMARK(BM_SubMap)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vostrel
