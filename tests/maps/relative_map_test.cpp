#include "maps/relative_map.hpp"
#include "maps/local_map_settings.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace vostrel {
namespace {

TEST(RelativeMap, FollowsTheRobotWithTheGridsSize) {
    const LocalMapSettings s;
    GridMap local(s.width, s.height, s.scale);
    const Pose2D robot{3.5, 1.0, 200.0 * kRadiansPerDegree};
    const std::vector<Segment> walls{Segment::fromPoints({0.0, 0.0}, {7.0, 0.0})};
    local.update(walls, robot);

    RelativeMapData record;
    refreshRelativeMap(record, local, TimeStamp{3, 500000000}, robot);
    EXPECT_EQ(record.mapconfig.width, 200u);
    EXPECT_EQ(record.mapconfig.height, 200u);
    EXPECT_EQ(record.mapconfig.xScale, 0.05);
    EXPECT_EQ(record.mapconfig.yScale, 0.05);
    EXPECT_EQ(record.mapconfig.origin, (Pose2D{-5.0, -5.0, 0.0}));
    EXPECT_EQ(record.pose, robot);
    EXPECT_EQ(record.tm.nsec, 500000000u);
    ASSERT_EQ(record.cells.size(), 40000u);
    std::size_t marked = 0;
    for (std::size_t i = 0; i < record.cells.size(); ++i) {
        ASSERT_TRUE(record.cells[i] == kCellFree || record.cells[i] == kCellOccupied);
        marked += record.cells[i] == kCellOccupied;
        EXPECT_EQ(record.cells[i] == kCellOccupied, local.cells()[i] == GridMap::kOccupied);
    }
    EXPECT_GT(marked, 0u);

    const FloatRelativeMapData f = toFloat(record);
    EXPECT_EQ(f.pose, robot);
    EXPECT_EQ(f.mapconfig.width, 200u);
    for (std::size_t i = 0; i < f.cells.size(); ++i)
        ASSERT_EQ(f.cells[i], record.cells[i] == kCellOccupied ? 1.0f : 0.0f);

    // An odd size: the origin is computed in floating point, half a cell off the cells.
    GridMap odd(5, 3, 0.1);
    refreshRelativeMap(record, odd, {}, robot);
    EXPECT_DOUBLE_EQ(record.mapconfig.origin.x, -0.25);
    EXPECT_DOUBLE_EQ(record.mapconfig.origin.y, -0.15);
    EXPECT_EQ(record.cells.size(), 15u);
}

}  // namespace
}  // namespace vostrel

namespace vostrel {
namespace {

// The run copies the cells only when the revision moved: a revision that stays while the
// cells change would serve a stale map.
TEST(RelativeMap, RevisionMovesWheneverTheCellsMayChange) {
    GridMap local(50, 50, 0.1);
    const std::vector<Segment> walls{Segment::fromPoints({-1.0, 1.0}, {1.0, 1.0})};
    local.update(walls, {0.0, 0.0, 0.0});
    const std::uint64_t first = local.revision();
    local.update(walls, {0.0, 0.0, 0.0});
    EXPECT_EQ(local.revision(), first);  // standing still: same cells

    RelativeMapData record;
    refreshRelativeMap(record, local, {}, {0.0, 0.0, 0.0});
    const std::vector<std::uint8_t> before = record.cells;
    local.update(walls, {0.0, 0.5, 0.0});
    EXPECT_NE(local.revision(), first);
    refreshRelativeMap(record, local, {}, {0.0, 0.5, 0.0}, true);
    EXPECT_NE(record.cells, before);

    const std::uint64_t moved = local.revision();
    local.markCell({0.0, -2.0});
    EXPECT_NE(local.revision(), moved);
    // Without the copy only the cells stay; the pose still follows.
    const std::vector<std::uint8_t> kept = record.cells;
    refreshRelativeMap(record, local, {7, 0}, {1.0, 2.0, 0.0}, false);
    EXPECT_EQ(record.cells, kept);
    EXPECT_EQ(record.pose, (Pose2D{1.0, 2.0, 0.0}));
    EXPECT_EQ(record.tm.sec, 7u);
}

}  // namespace
}  // namespace vostrel
