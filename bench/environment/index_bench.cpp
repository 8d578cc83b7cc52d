// Sight tests and subarea lookups on the station example: plain loops against the indexes.
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>
#include <vector>

#include "environment/area_index.hpp"
#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "environment/wall_grid.hpp"

namespace {

using namespace vostrel;

struct Station {
    Station() : field(std::string(VOSTREL_SOURCE_DIR) + "/examples/station.txt", log) {
        network = buildSpatialNetwork(field.environment(), log, log, nullptr);
        std::mt19937_64 g(1);
        const auto u = [&](double hi) { return hi * ((g() >> 11) * 0x1p-53); };
        // Sight lines of up to 7.5 m between random spots, as between persons.
        for (int i = 0; i < 4096; ++i) {
            const Vec2 a{u(40), u(20)};
            Vec2 d{u(15) - 7.5, u(15) - 7.5};
            if (d.length() > 7.5) d = d * (7.5 / d.length());
            lines.push_back(Segment{d, a});
            points.push_back({u(40), u(20)});
        }
    }
    std::ostringstream log;
    FieldData field;
    SubareaList network;
    std::vector<Segment> lines;
    std::vector<Vec2> points;
};

const Station& station() {
    static const Station s;
    return s;
}

void BM_SightPlain(benchmark::State& state) {
    const Station& s = station();
    const Walls& walls = s.field.environment().walls;
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(walls.isClear(s.lines[i++ % s.lines.size()]));
}
BENCHMARK(BM_SightPlain);

void BM_SightGrid(benchmark::State& state) {
    const Station& s = station();
    const WallGrid grid(s.field.environment().walls.all());
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(grid.isClear(s.lines[i++ % s.lines.size()]));
}
BENCHMARK(BM_SightGrid);

void BM_AreaPlain(benchmark::State& state) {
    const Station& s = station();
    std::size_t i = 0;
    for (auto _ : state) {
        const Vec2 p = s.points[i++ % s.points.size()];
        benchmark::DoNotOptimize(indexAt(s.network, p.x, p.y));
    }
    state.counters["subareas"] = static_cast<double>(s.network.size());
}
BENCHMARK(BM_AreaPlain);

void BM_AreaIndex(benchmark::State& state) {
    const Station& s = station();
    const AreaIndex index(s.network);
    std::size_t i = 0;
    for (auto _ : state) {
        const Vec2 p = s.points[i++ % s.points.size()];
        benchmark::DoNotOptimize(index.indexAt(s.network, p.x, p.y));
    }
}
BENCHMARK(BM_AreaIndex);

}  // namespace
