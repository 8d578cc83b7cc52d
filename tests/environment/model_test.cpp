#include <gtest/gtest.h>

#include "environment/action_table.hpp"
#include "environment/destination_group.hpp"
#include "environment/entrance.hpp"
#include "environment/error.hpp"
#include "environment/subarea.hpp"
#include "environment/walls.hpp"

namespace vostrel {
namespace {

TEST(Walls, ExtentGrowsWithWallEndsAndNeverBelowZero) {
    Walls w;
    w.add(Segment::fromPoints({2, 3}, {-1, 5}));
    EXPECT_EQ(w.maxX(), 2.0);
    EXPECT_EQ(w.maxY(), 5.0);
    w.add(Segment::fromPoints({-4, -4}, {-3, -3}));
    EXPECT_EQ(w.maxX(), 2.0);
    EXPECT_EQ(w.maxY(), 5.0);
    Walls negative;
    negative.add(Segment::fromPoints({-4, -4}, {-3, -3}));
    EXPECT_EQ(negative.maxX(), 0.0);
}

TEST(Walls, OutOfRangeIndexRaisesItsText) {
    Walls w;
    EXPECT_TRUE(w.isClear(Segment::fromPoints({0, 0}, {5, 5})));
    w.add(Segment::fromPoints({0, 0}, {1, 0}));
    EXPECT_EQ(w.Wall(0).end(), Vec2(1, 0));
    try {
        w.Wall(1);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Error: No wall data. Out of number. ( Walls::Wall() )");
    }
    EXPECT_THROW(w.Wall(-1), Error);
    EXPECT_FALSE(w.isClear(Segment::fromPoints({1, -1}, {1, 1})));  // touches the wall's end
    EXPECT_TRUE(w.isClear(Segment::fromPoints({2, -1}, {2, 1})));
}

TEST(Entrance, ZeroIntervalArrivesOnEveryTickAndRemainderCarries) {
    CRandom rng(1);
    const Entrance e{1, Segment::fromPoints({0, 0}, {0, 2}), {0.0, 0.0}};
    double countdown = 0.0;
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(e.tick(countdown, 0.1, rng));

    const Entrance slow{2, Segment::fromPoints({0, 0}, {0, 2}), {0.25, 0.0}};
    double left = 0.25;
    EXPECT_TRUE(!slow.tick(left, 0.1, rng));
    EXPECT_TRUE(!slow.tick(left, 0.1, rng));
    EXPECT_TRUE(slow.tick(left, 0.1, rng));  // 0.25 - 0.3 <= 0
    EXPECT_NEAR(left, 0.2, 1e-12);
}

TEST(Entrance, SpawnPointIsAGaussianFractionOfTheLine) {
    CRandom rng(1);
    const Entrance e{1, Segment::fromPoints({0, 0}, {0, 10}), {0.0, 0.0}};
    CRandom expect(rng.state());
    const double a = GaussianRandom{0.5, 0.1}.draw(expect);
    EXPECT_DOUBLE_EQ(e.spawnPoint(rng).y, 10 * a);
}

TEST(DestinationGroup, GroupsByIdAndAnswersDefaultsOutOfRange) {
    DestinationGroup<Exit> exits;
    exits.add(4, Exit(4, Segment::fromPoints({0, 0}, {2, 0})));
    exits.add(4, Exit(4, Segment::fromPoints({0, 5}, {2, 5})));
    exits.add(-1, Exit(-1, Segment{}));
    EXPECT_EQ(exits.size(), 2);
    EXPECT_EQ(exits.count(4), 2);
    EXPECT_EQ(exits.count(3), 0);
    EXPECT_EQ(exits.count(-2), 0);
    EXPECT_EQ(exits.indexOf(4, 1), 1);
    EXPECT_EQ(exits.indexOf(4, 2), -1);
    EXPECT_EQ(exits.get(4, 1).y(), 5.0);
    EXPECT_EQ(exits.get(4, 1).x(), 1.0);  // the line's midpoint
    EXPECT_EQ(exits.get(4, 2).id(), -1);
    EXPECT_EQ(exits.at(99).line(), Segment{});
}

TEST(Destination, KindsViewedThroughTheBase) {
    const Queue q(3, 5, 5, 0, -0.5);
    const Destination& d = q;
    EXPECT_EQ(d.kind(), kQueue);
    EXPECT_EQ(d.position(), Vec2(5, 5));
    EXPECT_EQ(q.line().direction, Vec2(0, -0.5));
    EXPECT_EQ(Point(1, 2, 3, 0.7).value(), 0.7);
    EXPECT_EQ(Seat().id(), -1);
}

TEST(ActionTable, GrowsOverwritesAndRefusesUnknownIds) {
    ActionTable t;
    Action a;
    a.kind = kQueue;
    a.destinationId = 2;
    t.set(3, a);
    EXPECT_EQ(t.size(), 4);
    EXPECT_EQ(t.at(0)->kind, kNoDestination);
    EXPECT_EQ(t.at(3)->destinationId, 2);
    a.destinationId = 7;
    t.set(3, a);
    EXPECT_EQ(t.at(3)->destinationId, 7);
    EXPECT_FALSE(t.at(4).has_value());
    EXPECT_FALSE(t.at(-1).has_value());
    t.addFirst(3);
    t.addFirst(9);
    EXPECT_EQ(t.firstFor(0)->destinationId, 7);
    EXPECT_FALSE(t.firstFor(1).has_value());  // names an action outside the table
    EXPECT_FALSE(t.firstFor(2).has_value());  // more entrances than first actions
}

TEST(Subarea, LinksKeepDuplicatesAndPassDistanceUsesTheLast) {
    Subarea s(7, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    s.addLink(1, Segment::fromPoints({0, 0}, {0, 2}));
    s.addLink(1, Segment::fromPoints({0, 2}, {0, 4}));
    s.addLink(2, Segment::fromPoints({4, 0}, {4, 4}));
    EXPECT_TRUE(s.isNeighbour(1));
    EXPECT_FALSE(s.isNeighbour(3));
    EXPECT_EQ(s.borderWith(1).origin, Vec2(0, 0));
    EXPECT_EQ(s.borderWith(3), Segment{});
    EXPECT_EQ(s.neighbours(), (std::vector<int>{1, 1, 2}));
    // last border with 1 has midpoint (0, 3); border with 2 has (4, 2)
    EXPECT_DOUBLE_EQ(s.passDistance(1, 2), std::sqrt(17.0));
    EXPECT_EQ(s.passDistance(1, 3), 0.0);
    EXPECT_DOUBLE_EQ(s.density(2), 2.0 / 16.0);
}

}  // namespace
}  // namespace vostrel
