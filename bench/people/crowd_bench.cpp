// Cost of one crowd step of 0.1 s by number of persons and number of walls.
#include <benchmark/benchmark.h>

#include <sstream>

#include "people/crowd.hpp"
#include "people/route_chooser.hpp"

namespace vostrel {
namespace {

constexpr double kSide = 40.0;
constexpr int kCells = 4;  // kCells x kCells subareas, one point in each

// A square hall with a grid of subareas, points to walk between and small pillars
// adding walls.
struct Hall {
    explicit Hall(int walls) {
        const double cell = kSide / kCells;
        const Vec2 corners[] = {{0, 0}, {kSide, 0}, {kSide, kSide}, {0, kSide}};
        for (int i = 0; i < 4; ++i)
            env.walls.add(Segment::fromPoints(corners[i], corners[(i + 1) % 4]));
        // Pillars of four 0.4 m sides, spread evenly away from the points.
        for (int k = 0; env.walls.count() < walls; ++k) {
            const double x = 2.0 + std::fmod(k * 7.3, kSide - 4.0);
            const double y = 2.0 + std::fmod(k * 3.1 + (k / 5) * 1.7, kSide - 4.0);
            const Vec2 p[] = {{x, y}, {x + 0.4, y}, {x + 0.4, y + 0.4}, {x, y + 0.4}};
            for (int i = 0; i < 4 && env.walls.count() < walls; ++i)
                env.walls.add(Segment::fromPoints(p[i], p[(i + 1) % 4]));
        }
        for (int j = 0; j < kCells; ++j)
            for (int i = 0; i < kCells; ++i) {
                const double x0 = i * cell, y0 = j * cell;
                areas.push_back(
                    Subarea(j * kCells + i,
                            {{x0, y0}, {x0 + cell, y0}, {x0 + cell, y0 + cell}, {x0, y0 + cell}}));
                env.points.add(1, Point(1, x0 + cell / 2, y0 + cell / 2, 0.5));
            }
        for (int j = 0; j < kCells; ++j)
            for (int i = 0; i < kCells; ++i) {
                const int a = j * kCells + i;
                const double x0 = i * cell, y0 = j * cell;
                const auto link = [&](int b, Vec2 p, Vec2 q) {
                    areas[a].addLink(b, Segment::fromPoints(p, q));
                    areas[b].addLink(a, Segment::fromPoints(p, q));
                };
                if (i + 1 < kCells) link(a + 1, {x0 + cell, y0}, {x0 + cell, y0 + cell});
                if (j + 1 < kCells) link(a + kCells, {x0, y0 + cell}, {x0 + cell, y0 + cell});
            }
        actions.set(0, Action{kPoint, 1, 0, {2.0, 0.5}, 0});
    }
    World world;
    Environment& env = world.environment;
    ActionTable& actions = world.actions;
    SubareaList& areas = world.subareas;
};

void BM_Step(benchmark::State& state) {
    const int persons = static_cast<int>(state.range(0));
    Hall hall(static_cast<int>(state.range(1)));
    std::ostringstream err;
    RunState run(1);
    run.restart(hall.env);
    Crowd crowd(hall.world, run, WalkingRates{1.33, 0.1}, err);
    const WorldIndex index(hall.world);
    RouteChooser chooser(index);
    CRandom& rng = run.random;
    for (int i = 0; i < persons; ++i) {
        Person p;
        p.walkingRate = GaussianRandom{1.33, 0.1}.draw(rng);
        p.setPosition({1.0 + GaussianRandom{0.5, 0.2}.draw(rng) * (kSide - 2.0),
                       1.0 + (i + 0.5) / persons * (kSide - 2.0)});
        p.action = *hall.actions.at(0);
        chooser.chooseDestination(p, run);
        crowd.addPerson(std::move(p));
    }
    for (int i = 0; i < 50; ++i) crowd.step(0.1);  // get everybody moving
    for (auto _ : state) crowd.step(0.1);
    state.counters["persons"] = static_cast<double>(crowd.persons().size());
}

BENCHMARK(BM_Step)
    ->ArgNames({"persons", "walls"})
    ->ArgsProduct({{10, 50, 200, 500}, {4, 64, 256}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vostrel
