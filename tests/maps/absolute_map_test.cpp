#include "maps/absolute_map.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "environment/error.hpp"

namespace vostrel {
namespace {

// An environment 10 m by 5 m whose only visible wall runs from (1, 1) to (1, 3); a point-like
// wall at the far corner sets the extent and marks nothing.
Walls tenByFive() {
    Walls w;
    w.add(Segment::fromPoints({1.0, 1.0}, {1.0, 3.0}));
    w.add(Segment::fromPoints({10.0, 5.0}, {10.0, 5.0}));
    return w;
}

// A 6 x 3 map of 0.1 m cells whose bytes are their own index, so windows show where they
// were cut from.
AbsoluteMapData numbered() {
    AbsoluteMapData m;
    m.tm = {12, 34};
    m.mapconfig = {0.1, 0.1, 6, 3, Pose2D{0.0, 0.0, 0.25}};
    for (std::uint8_t i = 0; i < 18; ++i) m.cells.push_back(i);
    return m;
}

TEST(AbsoluteMapBuild, CoversTheExtentAndMarksTheWallCells) {
    AbsoluteMapData map;
    buildAbsoluteMap(map, tenByFive(), AbsoluteMapSettings{0.1}, TimeStamp{5, 6});
    EXPECT_EQ(map.mapconfig.width, 101u);
    EXPECT_EQ(map.mapconfig.height, 51u);
    EXPECT_EQ(map.mapconfig.xScale, 0.1);
    EXPECT_EQ(map.mapconfig.yScale, 0.1);
    EXPECT_EQ(map.mapconfig.origin, (Pose2D{0.0, 0.0, 0.0}));
    EXPECT_EQ(map.tm.sec, 5u);
    ASSERT_EQ(map.cells.size(), 101u * 51u);
    for (std::size_t row = 0; row < 51; ++row) {
        for (std::size_t column = 0; column < 101; ++column) {
            const bool wall = column == 10 && row >= 10 && row <= 29;
            ASSERT_EQ(map.cells[row * 101 + column], wall ? kCellOccupied : kCellFree)
                << "row " << row << " column " << column;
        }
    }
}

TEST(AbsoluteMapBuild, OddExtentShiftsTheCellsAgainstTheOrigin) {
    // maxX 10.05: width 101 and the centre 5.025 sits 0.025 m off floor(101/2) cells, so
    // column 1 begins near x = 0.125 rather than 0.1.
    Walls w;
    w.add(Segment::fromPoints({0.12, 1.0}, {0.12, 1.2}));
    w.add(Segment::fromPoints({0.13, 2.0}, {0.13, 2.2}));
    w.add(Segment::fromPoints({10.05, 5.0}, {10.05, 5.0}));
    AbsoluteMapData map;
    buildAbsoluteMap(map, w, AbsoluteMapSettings{0.1}, {});
    ASSERT_EQ(map.mapconfig.width, 101u);
    EXPECT_EQ(map.cells[10 * 101 + 0], kCellOccupied);
    EXPECT_EQ(map.cells[20 * 101 + 1], kCellOccupied);
    EXPECT_EQ(map.cells[20 * 101 + 0], kCellFree);
}

TEST(AbsoluteMapBuild, OversizedGridsStayEmpty) {
    EXPECT_TRUE(absoluteMapFits(tenByFive(), 0.1));
    EXPECT_FALSE(absoluteMapFits(tenByFive(), 1e-9));  // 10^20 cells
    Walls huge;
    huge.add(Segment::fromPoints({0.0, 0.0}, {1e300, 1e300}));
    EXPECT_FALSE(absoluteMapFits(huge, 0.1));
    Walls square;  // 8192 x 8192 cells at 1 m: exactly the most there may be
    square.add(Segment::fromPoints({0.0, 0.0}, {8191.0, 8191.0}));
    EXPECT_TRUE(absoluteMapFits(square, 1.0));
    square.add(Segment::fromPoints({0.0, 0.0}, {0.0, 8192.0}));
    EXPECT_FALSE(absoluteMapFits(square, 1.0));

    AbsoluteMapData map;
    buildAbsoluteMap(map, tenByFive(), AbsoluteMapSettings{0.1}, {});
    buildAbsoluteMap(map, huge, AbsoluteMapSettings{0.1}, {7, 0});
    EXPECT_EQ(map.tm.sec, 7u);
    EXPECT_EQ(map.mapconfig.width, 0u);
    EXPECT_TRUE(map.cells.empty());
    EXPECT_EQ(subMap(map, 0.0, 0.0, 2, 1).cells, (std::vector<std::uint8_t>{255, 255}));
}

TEST(AbsoluteSubMap, FirstCellIsTruncatedTowardsZero) {
    const AbsoluteMapData map = numbered();
    const AbsoluteMapData a = subMap(map, -0.5, 0.0, 10, 1);
    EXPECT_EQ(a.cells, (std::vector<std::uint8_t>{255, 255, 255, 255, 255, 0, 1, 2, 3, 4}));
    EXPECT_EQ(a.mapconfig.origin, (Pose2D{-0.5, 0.0, 0.25}));
    EXPECT_EQ(a.mapconfig.width, 6u);
    EXPECT_EQ(a.tm.nsec, 34u);
    EXPECT_EQ(subMap(map, -0.05, 0.0, 2, 1).cells, (std::vector<std::uint8_t>{0, 1}));
    // Rows outer, columns inner; the window runs off the top and right of the map.
    EXPECT_EQ(subMap(map, 0.45, 0.15, 3, 3).cells,
              (std::vector<std::uint8_t>{10, 11, 255, 16, 17, 255, 255, 255, 255}));
    EXPECT_TRUE(subMap(map, 0.0, 0.0, 0, 5).cells.empty());
    EXPECT_TRUE(subMap(map, 0.0, 0.0, 5, 0).cells.empty());
}

TEST(AbsoluteSubMap, FloatCellsAndOccupancyValues) {
    AbsoluteMapData map = numbered();
    map.cells.assign(18, kCellFree);
    map.cells[1] = kCellOccupied;
    const FloatAbsoluteMapData f = floatSubMap(map, -0.1, 0.0, 3, 1);
    EXPECT_EQ(f.cells, (std::vector<float>{-1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(f.mapconfig.origin.x, -0.1);
}

TEST(AbsoluteSubMap, UnbuiltMapsWildPositionsAndHugeRequestsAreSafe) {
    const AbsoluteMapData never;  // before the first activation: scale 0
    EXPECT_EQ(subMap(never, 0.3, 0.2, 2, 2).cells, (std::vector<std::uint8_t>(4, 255)));
    EXPECT_EQ(floatSubMap(never, 0.0, 0.0, 1, 1).cells, (std::vector<float>{-1.0f}));

    const AbsoluteMapData map = numbered();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(subMap(map, 1e300, 0.0, 2, 1).cells, (std::vector<std::uint8_t>(2, 255)));
    EXPECT_EQ(subMap(map, 0.0, nan, 2, 1).cells, (std::vector<std::uint8_t>(2, 255)));

    const std::uint32_t most = std::numeric_limits<std::uint32_t>::max();
    EXPECT_THROW(subMap(map, 0.0, 0.0, most, most), Error);  // 2^64 - 2^33 + 1 cells
    try {
        floatSubMap(map, 0.0, 0.0, static_cast<std::uint32_t>(kMaxSubMapCells + 1), 1);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), kSubMapTooLarge);
    }
}

}  // namespace
}  // namespace vostrel
