// Construction time of the spatial network against the number of walls, on generated office
// floors of about 20, 100, 400, 1000 and 5000 walls.
#include <benchmark/benchmark.h>

#include <ostream>

#include "bench/spatial/office_floor.hpp"
#include "environment/spatial_network_builder.hpp"

namespace vostrel {
namespace {

struct Floor {
    int rooms;
    int bands;
};
constexpr Floor kFloors[] = {{3, 1}, {8, 2}, {16, 4}, {24, 7}, {40, 21}};

void setCounters(benchmark::State& state, const Walls& walls, const SpatialNetworkBuilder& b) {
    state.counters["walls"] = walls.count();
    state.counters["vertices"] = static_cast<double>(b.graph().vertices().size());
    state.counters["edges"] = static_cast<double>(b.graph().edges().size());
    state.counters["subareas"] = static_cast<double>(b.generate(0.0).size());
}

// Build steps as activation runs them, without the debug images.
void BM_ConstructNetwork(benchmark::State& state) {
    const Floor f = kFloors[state.range(0)];
    const Walls walls = officeFloor(f.rooms, f.bands);
    std::ostream discard(nullptr);
    for (auto _ : state) {
        SpatialNetworkBuilder builder(walls, discard, discard);
        benchmark::DoNotOptimize(builder.polygons().data());
    }
    const SpatialNetworkBuilder builder(walls, discard, discard);
    setCounters(state, walls, builder);
}
BENCHMARK(BM_ConstructNetwork)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// The plain build that scans every wall, vertex and edge in each test: the reference the
// indexed build above must match, and the figure it is measured against.
void BM_ConstructNetworkPlain(benchmark::State& state) {
    const Floor f = kFloors[state.range(0)];
    const Walls walls = officeFloor(f.rooms, f.bands);
    std::ostream discard(nullptr);
    for (auto _ : state) {
        SpatialNetworkBuilder builder(walls, discard, discard, nullptr, {}, false);
        benchmark::DoNotOptimize(builder.polygons().data());
    }
    state.counters["walls"] = walls.count();
}
BENCHMARK(BM_ConstructNetworkPlain)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The wall graph alone (step 1), to separate it from the rest of the construction.
void BM_WallGraph(benchmark::State& state) {
    const Floor f = kFloors[state.range(0)];
    const Walls walls = officeFloor(f.rooms, f.bands);
    for (auto _ : state) {
        NetworkGraph graph;
        for (const Segment& w : walls.all()) graph.addSegment(w, EdgeKind::WallEdge);
        benchmark::DoNotOptimize(graph.edges().data());
    }
    state.counters["walls"] = walls.count();
}
BENCHMARK(BM_WallGraph)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// generate(0) and optimise from the west corridor, as activation runs them after building.
void BM_GenerateAndOptimise(benchmark::State& state) {
    const Floor f = kFloors[state.range(0)];
    const Walls walls = officeFloor(f.rooms, f.bands);
    std::ostream discard(nullptr);
    const SpatialNetworkBuilder builder(walls, discard, discard);
    for (auto _ : state) {
        SubareaList subareas = SpatialNetworkBuilder::optimise(builder.generate(0.0), {1, 1});
        benchmark::DoNotOptimize(subareas.data());
    }
    state.counters["walls"] = walls.count();
}
BENCHMARK(BM_GenerateAndOptimise)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vostrel
