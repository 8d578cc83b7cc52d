// The subarea index against the plain first-in-list scan, on seeded random points.
#include <gtest/gtest.h>

#include "tests/seeded_draw.hpp"

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "environment/area_index.hpp"
#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"

namespace vostrel {
namespace {

using Draw = test::SeededDraw;

// Points inside, on corners and sides (shared borders), just outside, far off and NaN.
void expectSameLookups(const SubareaList& list, std::uint64_t seed, int points) {
    const AreaIndex index(list);
    Draw d(seed);
    double lo = 0, hi = 1;
    for (const Subarea& a : list)
        for (const Vec2& c : a.corners()) {
            lo = std::min({lo, c.x, c.y});
            hi = std::max({hi, c.x, c.y});
        }
    int inside = 0;
    for (int i = 0; i < points; ++i) {
        const Subarea& a = list[d.below(list.size())];
        const auto& c = a.corners();
        Vec2 p;
        switch (i % 6) {
            case 0:
                p = c[d.below(c.size())];
                break;
            case 1: {
                const std::size_t k = d.below(c.size());
                p = c[k] + (c[(k + 1) % c.size()] - c[k]) * d.uniform(0, 1);
                break;
            }
            case 2:
                p = c[d.below(c.size())] + Vec2{d.uniform(-1e-3, 1e-3), d.uniform(-1e-3, 1e-3)};
                break;
            case 3:
                p = {d.uniform(lo - 20, hi + 20), d.uniform(lo - 20, hi + 20)};
                break;
            case 4:
                p = {std::round(d.uniform(lo, hi) * 4) / 4, std::round(d.uniform(lo, hi) * 4) / 4};
                break;
            default:
                p = {d.uniform(lo, hi), d.uniform(lo, hi)};
        }
        const int expected = indexAt(list, p.x, p.y);
        ASSERT_EQ(index.indexAt(list, p.x, p.y), expected) << i << ": " << p.x << ", " << p.y;
        inside += expected >= 0 ? 1 : 0;
    }
    EXPECT_GT(inside, points / 8);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(index.indexAt(list, nan, 1.0), indexAt(list, nan, 1.0));
    EXPECT_EQ(index.indexAt(list, 1e300, 1.0), indexAt(list, 1e300, 1.0));
}

TEST(AreaIndex, NetworksOfTheExamplesMatchThePlainScan) {
    std::uint64_t seed = 1;
    for (const char* name : {"office.txt", "station.txt", "cafeteria.txt"}) {
        std::ostringstream log;
        const FieldData field(std::string(VOSTREL_SOURCE_DIR) + "/examples/" + name, log);
        const SubareaList network = buildSpatialNetwork(field.environment(), log, log, nullptr);
        ASSERT_GT(network.size(), 5u) << name;
        expectSameLookups(network, seed++, 30000);
    }
}

// Overlapping shapes (the earlier one must win), shapes that are not convex, and slivers,
// which by the containment rule may claim points far away from them.
TEST(AreaIndex, OverlapsSliversAndNonConvexShapesMatchThePlainScan) {
    Draw d(77);
    SubareaList list;
    for (int i = 0; i < 300; ++i) {
        const Vec2 a{d.uniform(0, 50), d.uniform(0, 50)};
        const double w = d.uniform(0.5, 6), h = d.uniform(0.5, 6);
        switch (i % 5) {
            case 0:
                list.emplace_back(
                    i, std::vector<Vec2>{a, a + Vec2{w, 0}, a + Vec2{w, h}, a + Vec2{0, h}});
                break;
            case 1:
                list.emplace_back(i, std::vector<Vec2>{a, a + Vec2{w, d.uniform(-3, 3)},
                                                       a + Vec2{d.uniform(-3, 3), h}});
                break;
            case 2:
                list.emplace_back(i, std::vector<Vec2>{a, a + Vec2{w, 0}, a + Vec2{w / 2, h / 8},
                                                       a + Vec2{w, h}, a + Vec2{0, h}});
                break;
            case 3:
                list.emplace_back(
                    i, std::vector<Vec2>{a, a + Vec2{w, h}, a + Vec2{2 * w, 2 * h + 1e-9}});
                break;
            default:
                list.emplace_back(i, std::vector<Vec2>{a, a + Vec2{w, 0}, a + Vec2{w, 1e-7}});
                break;
        }
    }
    // Corners on one line: the containment rule then claims every point off that line, so
    // these come last, where they only take what nobody else has.
    list.emplace_back(300, std::vector<Vec2>{{10, 10}, {12, 10}, {14, 10}});
    list.emplace_back(301, std::vector<Vec2>{{20, 20}, {21, 21}, {22, 22}});
    expectSameLookups(list, 5, 60000);
    expectSameLookups(SubareaList(list.begin(), list.begin() + 3), 6, 3000);
}

}  // namespace
}  // namespace vostrel
