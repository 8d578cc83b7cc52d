#include <gtest/gtest.h>

#include <cmath>

#include "environment/polygon.hpp"
#include "environment/segment.hpp"

namespace vostrel {
namespace {

Segment seg(double x1, double y1, double x2, double y2) {
    return Segment::fromPoints({x1, y1}, {x2, y2});
}

TEST(Vec2, NormaliseLeavesZeroAlone) {
    Vec2 z;
    z.normalise();
    EXPECT_EQ(z, Vec2(0, 0));
    Vec2 v{3, 4};
    v.normalise();
    EXPECT_DOUBLE_EQ(v.x, 0.6);
    EXPECT_DOUBLE_EQ(v.y, 0.8);
}

TEST(Segment, StoresDirectionThenOrigin) {
    const Segment s = seg(1, 2, 4, 6);
    EXPECT_EQ(s.direction, Vec2(3, 4));
    EXPECT_EQ(s.origin, Vec2(1, 2));
    EXPECT_EQ(s.end(), Vec2(4, 6));
    EXPECT_EQ(s.midpoint(), Vec2(2.5, 4));
    EXPECT_DOUBLE_EQ(s.length(), 5.0);
    EXPECT_EQ(s.reversed().origin, Vec2(4, 6));
    EXPECT_EQ(s.reversed().direction, Vec2(-3, -4));
}

TEST(Segment, SharedEndPointIntersectsButDoesNotCross) {
    const Segment a = seg(0, 0, 1, 0);
    const Segment b = seg(1, 0, 1, 1);
    EXPECT_TRUE(a.intersects(b));
    EXPECT_TRUE(b.intersects(a));
    EXPECT_FALSE(a.crosses(b));
    EXPECT_FALSE(b.crosses(a));
}

TEST(Segment, ProperCrossingIsBoth) {
    const Segment a = seg(0, 0, 2, 2);
    const Segment b = seg(0, 2, 2, 0);
    EXPECT_TRUE(a.intersects(b));
    EXPECT_TRUE(a.crosses(b));
    const Vec2 p = a.intersectionPoint(b);
    EXPECT_DOUBLE_EQ(p.x, 1.0);
    EXPECT_DOUBLE_EQ(p.y, 1.0);
}

TEST(Segment, ParallelAndCollinearNeitherIntersectNorCross) {
    EXPECT_FALSE(seg(0, 0, 1, 0).intersects(seg(0, 1, 1, 1)));
    EXPECT_FALSE(seg(0, 0, 1, 0).crosses(seg(0, 1, 1, 1)));
    EXPECT_FALSE(seg(0, 0, 2, 0).crosses(seg(1, 0, 3, 0)));
    EXPECT_FALSE(seg(0, 0, 1, 0).intersects(seg(2, -1, 2, 1)));  // the line meets, the segment not
}

TEST(Segment, ClosestFromGivesPerpendicularOrNearestEnd) {
    const Segment wall = seg(0, 0, 4, 0);
    const Segment mid = wall.closestFrom({2, 3}, 0.0);
    EXPECT_EQ(mid.origin, Vec2(2, 3));
    EXPECT_DOUBLE_EQ(mid.end().x, 2.0);
    EXPECT_NEAR(mid.end().y, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(mid.length(), 3.0);

    const Segment beyond = wall.closestFrom({6, 1}, 0.0);
    EXPECT_EQ(beyond.end(), Vec2(4, 0));

    // With a margin the wall's ends move inwards.
    const Segment shrunk = wall.closestFrom({-1, 0}, 0.5);
    EXPECT_EQ(shrunk.end(), Vec2(0.5, 0));
}

TEST(Polygon, TwoCornersAreNotConvexAndContainNothing) {
    const Polygon p({{0, 0}, {1, 1}});
    EXPECT_FALSE(p.convex());
    EXPECT_EQ(p.area(), 0.0);
    EXPECT_FALSE(p.contains(0.5, 0.5));
}

TEST(Polygon, SquareContainsItsInsideSidesAndCorners) {
    const Polygon sq({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    ASSERT_TRUE(sq.convex());
    EXPECT_DOUBLE_EQ(sq.area(), 4.0);
    EXPECT_EQ(sq.centre(), Vec2(1, 1));
    EXPECT_TRUE(sq.contains(1, 1));
    EXPECT_TRUE(sq.contains(2, 1));
    EXPECT_TRUE(sq.contains(0, 0));
    EXPECT_TRUE(sq.contains(2, 2));
    EXPECT_FALSE(sq.contains(2.001, 1));
    EXPECT_FALSE(sq.contains(-0.001, -0.001));
}

TEST(Polygon, ReflexCornerMakesItNonConvexAndEmpty) {
    const Polygon l({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}});
    EXPECT_FALSE(l.convex());
    EXPECT_FALSE(l.contains(0.5, 0.5));
    EXPECT_EQ(l.centre(), Vec2(0, 0));
}

TEST(Polygon, ConvexityIgnoresWindingAndAllowsStraightCorners) {
    EXPECT_TRUE(Polygon({{0, 0}, {0, 2}, {2, 2}, {2, 0}}).convex());
    EXPECT_TRUE(Polygon({{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}).convex());
}

TEST(Polygon, CentreIsCornerAverageAndAreaIsTheFan) {
    const Polygon p({{0, 0}, {4, 0}, {4, 1}, {0, 3}});
    ASSERT_TRUE(p.convex());
    EXPECT_DOUBLE_EQ(p.area(), 8.0);
    EXPECT_DOUBLE_EQ(p.centre().x, 2.0);
    EXPECT_DOUBLE_EQ(p.centre().y, 1.0);
}

TEST(Polygon, MergeJoinsTwoTrianglesAcrossTheirSharedSide) {
    const Polygon a({{0, 0}, {1, 0}, {1, 1}});
    const Polygon b({{0, 0}, {1, 1}, {0, 1}});
    const auto joined = a.mergeIfConvex(b);
    ASSERT_TRUE(joined.has_value());
    EXPECT_TRUE(joined->convex());
    EXPECT_EQ(joined->corners().size(), 4u);
    EXPECT_DOUBLE_EQ(joined->area(), 1.0);
    for (Vec2 c : {Vec2(0, 0), Vec2(1, 0), Vec2(1, 1), Vec2(0, 1)})
        EXPECT_EQ(joined->commonCorners(Polygon({c, c + Vec2(9, 0), c + Vec2(9, 9)})).size(), 1u);
}

TEST(Polygon, MergeRefusesNonConvexResultsSelfAndCornerOnlyContact) {
    // Joining these two gives an arrow shape with a reflex corner.
    const Polygon a({{0, 0}, {2, 0}, {1, 1}});
    const Polygon b({{1, 1}, {2, 0}, {2, 3}});
    EXPECT_FALSE(a.mergeIfConvex(b).has_value());
    EXPECT_FALSE(a.mergeIfConvex(a).has_value());
    const Polygon touching({{2, 0}, {3, 0}, {3, 1}});
    EXPECT_FALSE(a.mergeIfConvex(touching).has_value());
}

}  // namespace
}  // namespace vostrel
