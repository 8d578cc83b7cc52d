// A grid left as it is for an unchanged pose must equal one drawn afresh, whatever came before.
#include <gtest/gtest.h>

#include <vector>

#include "maps/grid_map.hpp"

namespace vostrel {
namespace {

std::vector<std::uint8_t> drawnAfresh(std::span<const Segment> walls, const Pose2D& pose) {
    GridMap g(60, 40, 0.1);
    g.update(walls, pose);
    return {g.cells().begin(), g.cells().end()};
}

TEST(GridMapReuse, RepeatedUpdatesEqualAFreshDrawing) {
    std::vector<Segment> walls{Segment::fromPoints({-2, -1}, {2, -1}),
                               Segment::fromPoints({1, -2}, {1, 2})};
    const Pose2D a{0.1, 0.2, 0.3};
    const Pose2D b{0.1, 0.2, -0.0};
    GridMap g(60, 40, 0.1);
    const auto same = [&](const Pose2D& p) {
        const auto cells = g.cells();
        return std::vector<std::uint8_t>(cells.begin(), cells.end()) == drawnAfresh(walls, p);
    };
    g.update(walls, a);
    g.update(walls, a);
    EXPECT_TRUE(same(a));
    // Marked by hand in between: the next update draws again.
    g.markCell({-2.9, -1.9});
    g.update(walls, a);
    EXPECT_TRUE(same(a));
    g.rasteriseSegment(Segment::fromPoints({-2.9, 1.0}, {2.9, 1.0}));
    g.update(walls, a);
    EXPECT_TRUE(same(a));
    // Another pose (even one equal by value, -0.0 against 0.0), then the first again.
    g.update(walls, b);
    EXPECT_TRUE(same(b));
    g.update(walls, {0.1, 0.2, 0.0});
    EXPECT_TRUE(same({0.1, 0.2, 0.0}));
    g.update(walls, a);
    EXPECT_TRUE(same(a));
    // Same pose, other walls; then no walls at all.
    walls[1] = Segment::fromPoints({-1, -2}, {-1, 2});
    g.update(walls, a);
    EXPECT_TRUE(same(a));
    const std::vector<Segment> none;
    g.update(none, a);
    EXPECT_EQ(std::count(g.cells().begin(), g.cells().end(), GridMap::kOccupied), 0);
    EXPECT_TRUE(g.segments().empty());
}

}  // namespace
}  // namespace vostrel
