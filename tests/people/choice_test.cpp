// Route search over subareas and the choice among candidate destinations.
#include <bit>
#include <cmath>
#include <random>

#include "tests/people/people_fixture.hpp"

namespace vostrel::test {
namespace {

using Path = std::vector<int>;

class Choice : public PeopleTest {
  protected:
    void SetUp() override {
        // 0 1 2 in a row, 3 north of 1, 4 north of 2 but linked to 3 only.
        areas = {rect(0, 0, 0, 4, 4), rect(1, 4, 0, 8, 4), rect(2, 8, 0, 12, 4),
                 rect(3, 4, 4, 8, 8), rect(4, 8, 4, 12, 8)};
        link(areas, 0, 1, {4, 0}, {4, 4});
        link(areas, 1, 2, {8, 0}, {8, 4});
        link(areas, 1, 3, {4, 4}, {8, 4});
        link(areas, 3, 4, {8, 4}, {8, 8});
    }
};

TEST_F(Choice, RouteCostsWalkingTimeBetweenBorderMidpointsPlusTheLastLeg) {
    RoutePlanner c;
    const Route r = c.find(areas, {}, {1, 1}, {11, 3});
    EXPECT_EQ(r.subareas, (Path{0, 1, 2}));
    EXPECT_DOUBLE_EQ(r.cost, std::sqrt(10.0) / 1.356 + 4.0 / 1.356 + std::sqrt(10.0));
    // Same subarea, goal or start off the network: no subareas, the straight distance.
    for (const auto& [p, q] : std::vector<std::pair<Vec2, Vec2>>{
             {{1, 1}, {3, 3}}, {{1, 1}, {20, 1}}, {{-1, 1}, {11, 1}}}) {
        EXPECT_TRUE(c.find(areas, {}, p, q).subareas.empty());
        EXPECT_DOUBLE_EQ(c.find(areas, {}, p, q).cost, (q - p).length());
    }
    const std::vector<int> crowded{0, 64, 0, 0, 0};  // 4 persons per m² are not walked through
    EXPECT_TRUE(c.find(areas, crowded, {1, 1}, {11, 3}).subareas.empty());
    const std::vector<int> busy{0, 16, 0, 0, 0};  // 1 per m²: slower through subarea 1
    EXPECT_DOUBLE_EQ(c.find(areas, busy, {1, 1}, {11, 3}).cost,
                     std::sqrt(10.0) / 1.356 + 4.0 / (1.356 - 0.341) + std::sqrt(10.0));
}

TEST(RouteOrder, EqualKeysKeepTheirInsertionOrder) {
    // Both ways round a 2 x 2 block cost the same; the one seeded first (list order) wins.
    SubareaList block{rect(0, 0, 0, 4, 4), rect(1, 4, 0, 8, 4), rect(2, 0, 4, 4, 8),
                      rect(3, 4, 4, 8, 8)};
    link(block, 0, 1, {4, 0}, {4, 4});
    link(block, 0, 2, {0, 4}, {4, 4});
    link(block, 1, 3, {4, 4}, {8, 4});
    link(block, 2, 3, {4, 4}, {4, 8});
    RoutePlanner planner;
    EXPECT_EQ(planner.find(block, {}, {2, 2}, {6, 6}).subareas, (Path{0, 1, 3}));
    std::swap(block[1], block[2]);
    EXPECT_EQ(planner.find(block, {}, {2, 2}, {6, 6}).subareas, (Path{0, 1, 3}));
}

// The search over the links graph and a heap against the scans and the sorted list, over random
// grids of square subareas (many equal keys), with one-way links, links repeated along split
// borders, shared ids and crowds that close subareas.
TEST(RouteOrder, TheGraphSearchMatchesTheScanningSearch) {
    std::mt19937_64 g(7);
    const auto u = [&](double lo, double hi) { return lo + (hi - lo) * ((g() >> 11) * 0x1p-53); };
    int routes = 0;
    for (int c = 0; c < 300; ++c) {
        const int w = 2 + int(g() % 14), h = 1 + int(g() % 8);
        SubareaList list;
        for (int i = 0; i < w * h; ++i) {
            const double x = 4.0 * (i % w), y = 4.0 * (i / w);
            // Now and then an id that another subarea has too.
            const int id = g() % 40 == 0 ? int(g() % 5) : 100 + i;
            list.push_back(rect(id, x, y, x + 4, y + 4));
        }
        const auto join = [&](int a, int b, Vec2 p, Vec2 q) {
            const auto one = [&](int from, int to) {
                list[std::size_t(from)].addLink(list[std::size_t(to)].id(),
                                                Segment::fromPoints(p, q));
                if (g() % 10 == 0)
                    list[std::size_t(from)].addLink(list[std::size_t(to)].id(),
                                                    Segment::fromPoints(p, (p + q) * 0.5));
            };
            const auto kind = g() % 12;
            if (kind == 0) return;  // a wall between them
            if (kind != 1) one(a, b);
            if (kind != 2) one(b, a);
        };
        for (int i = 0; i < w * h; ++i) {
            const double x = 4.0 * (i % w), y = 4.0 * (i / w);
            if (i % w + 1 < w) join(i, i + 1, {x + 4, y}, {x + 4, y + 4});
            if (i / w + 1 < h) join(i, i + w, {x, y + 4}, {x + 4, y + 4});
        }
        std::shuffle(list.begin(), list.end(), g);
        std::vector<int> populations(list.size());
        for (int& n : populations) n = g() % 6 == 0 ? int(g() % 80) : 0;
        if (g() % 4 == 0) populations.clear();
        const SubareaGraph graph(list);
        RoutePlanner scanning, searching;
        for (int k = 0; k < 20; ++k) {
            // Border midpoints and centres half the time: equal costs both ways round.
            const auto at = [&](double extent) {
                return g() % 2 ? std::round(u(0, extent) / 2) * 2 : u(0, extent);
            };
            const Vec2 p{at(4.0 * w), at(4.0 * h)}, q{at(4.0 * w), at(4.0 * h)};
            const Route& a = scanning.find(list, populations, p, q);
            const Route& b = searching.find(list, populations, p, q, nullptr, &graph);
            ASSERT_EQ(a.subareas, b.subareas) << c << " " << k;
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.cost), std::bit_cast<std::uint64_t>(b.cost))
                << c << " " << k;
            routes += a.subareas.size() > 2 ? 1 : 0;
        }
    }
    EXPECT_GT(routes, 2000);
}

TEST_F(Choice, FreshRouteSkipsTheStartAndAStaleOneIsReplanned) {
    env.points.add(1, Point(1, 10.0, 6.0, 0.5));
    RouteChooser& c = chooser();
    Person p = walker({1, 1});
    c.chooseDestination(p, state);
    EXPECT_EQ(p.route, (Path{1, 3, 4}));
    p.setPosition({10, 1});  // pushed into 2, which does not border 3
    p.route = {3, 4};
    // At the point, not at the frame origin.
    EXPECT_EQ(walking().goalDirection(p, state), (Vec2{0, 1}));
    c.repairRoute(p, state);
    EXPECT_EQ(p.route, (Path{1, 3, 4}));
}

TEST_F(Choice, FirstCandidateIsTakenAndTiesKeepTheEarlierOne) {
    env.exits.add(1, Exit(1, Segment::fromPoints({12, 0}, {12, 4})));
    env.points.add(2, Point(2, 5.0, 5.0, 0.5));
    for (int i = 0; i < 2; ++i) env.points.add(1, Point(1, 1.0, 1.0, 0.5));
    RouteChooser& c = chooser();
    Person leaving = walker({1, 1}, {}, act(kExit));
    CRandom oneDraw = rng;
    (void)GaussianRandom{}.draw(oneDraw);
    c.chooseDestination(leaving, state);
    EXPECT_EQ(rng.state(), oneDraw.state());  // one noise draw per candidate
    EXPECT_EQ(leaving.route, (Path{1, 2}));
    Person standing = walker({1, 1});  // both points cost 0
    c.chooseDestination(standing, state);
    EXPECT_EQ(standing.action.targetIndex, 1);
}

}  // namespace
}  // namespace vostrel::test
