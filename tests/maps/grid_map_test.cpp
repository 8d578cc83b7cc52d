#include "maps/grid_map.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/c_random.hpp"

namespace vostrel {
namespace {

std::vector<std::pair<int, int>> occupied(const GridMap& g) {
    std::vector<std::pair<int, int>> cells;
    for (int r = 0; r < g.height(); ++r)
        for (int c = 0; c < g.width(); ++c)
            if (g.cell(r, c) == GridMap::kOccupied) cells.emplace_back(r, c);
    return cells;
}

// Every sample of the segment, one after the other, without skipping any.
void rasteriseEverySample(GridMap& g, const Segment& s) {
    const double length = s.direction.length();
    const Vec2 step = length == 0.0 ? Vec2{} : s.direction / length * (g.scale() / 2.0);
    const double n = 2.0 * std::trunc(length / g.scale());
    Vec2 p = s.origin;
    for (double i = 0; i < n; i += 1.0, p += step) g.markCell(p);
}

TEST(GridMapCells, IndexTruncatesTowardsZeroAroundTheCentredOrigin) {
    GridMap g(5, 4, 0.5);  // floor(5/2)*0.5 = 1.0, floor(4/2)*0.5 = 1.0
    g.markCell({0.0, 0.0});
    g.markCell({-1.4, -1.2});  // (-0.4/0.5, -0.2/0.5) truncates to column 0, row 0
    g.markCell({-1.6, 0.0});   // column trunc(-1.2) = -1: off the grid
    g.markCell({1.5, 0.0});    // column 5: off the grid
    g.markCell({0.0, 1.0});    // row 4: off the grid
    g.markCell({std::nan(""), 0.0});
    EXPECT_EQ(occupied(g), (std::vector<std::pair<int, int>>{{0, 0}, {2, 2}}));
}

TEST(GridMapCells, SegmentsAreSampledEveryHalfCellUpToHalfACellShort) {
    GridMap g(20, 20, 0.05);
    g.rasteriseSegment(Segment::fromPoints({0.0, 0.0}, {0.04, 0.0}));  // shorter than a cell
    EXPECT_TRUE(occupied(g).empty());
    // 0.11 m: 4 samples, 0.025 m apart; the end (column 12) is not sampled.
    g.rasteriseSegment(Segment::fromPoints({0.001, 0.001}, {0.111, 0.001}));
    EXPECT_EQ(occupied(g), (std::vector<std::pair<int, int>>{{10, 10}, {10, 11}}));
}

TEST(GridMapCells, UpdateTurnsWallsIntoThePoseFrameAndStartsAfresh) {
    GridMap g(200, 200, 0.05);
    const std::vector<Segment> first{Segment::fromPoints({0, 0}, {5, 5})};
    g.update(first, Pose2D{});
    ASSERT_FALSE(occupied(g).empty());
    // A wall 1.02 m ahead across the heading: column trunc((100*0.05 + 1.02)/0.05) = 120,
    // whichever way the robot faces.
    for (double heading : {0.0, 1.0, 200.0 * kRadiansPerDegree, -2.5}) {
        const Vec2 at{3.5, 1.0};
        const Vec2 ahead{std::cos(heading), std::sin(heading)};
        const Vec2 left{-ahead.y, ahead.x};
        const Vec2 centre = at + ahead * 1.02;
        const std::vector<Segment> walls{
            Segment::fromPoints(centre - left * 0.5, centre + left * 0.5)};
        g.update(walls, Pose2D{at.x, at.y, heading});
        ASSERT_EQ(g.segments().size(), 1u);
        EXPECT_NEAR(g.segments()[0].origin.x, 1.02, 1e-12);
        const auto cells = occupied(g);
        ASSERT_GE(cells.size(), 19u) << heading;
        for (const auto& [row, column] : cells) EXPECT_EQ(column, 120) << heading;
        EXPECT_EQ(g.cell(100, 120), GridMap::kOccupied) << heading;
        EXPECT_GE(cells.front().first, 89);
        EXPECT_LE(cells.back().first, 110);
    }
}

TEST(GridMapCells, ClippedRasterisationMarksWhatEverySampleWould) {
    CRandom rng{2024};
    const auto uniform = [&](double lo, double hi) {
        return lo + (hi - lo) * rng.rand() / CRandom::kMax;
    };
    for (int i = 0; i < 3000; ++i) {
        const double reach = i % 3 == 0 ? 400.0 : 12.0;
        const Segment s = Segment::fromPoints({uniform(-reach, reach), uniform(-reach, reach)},
                                              {uniform(-reach, reach), uniform(-reach, reach)});
        GridMap fast(40 + i % 7, 30 + i % 5, 0.05 + 0.01 * (i % 4));
        GridMap reference(fast.width(), fast.height(), fast.scale());
        fast.rasteriseSegment(s);
        rasteriseEverySample(reference, s);
        ASSERT_TRUE(std::equal(fast.cells().begin(), fast.cells().end(), reference.cells().begin()))
            << "case " << i;
    }
    // Absurd lengths cost only their visible part.
    GridMap g(200, 200, 0.05);
    g.rasteriseSegment(Segment::fromPoints({-1e12, 0.01}, {1e12, 0.01}));
    EXPECT_EQ(occupied(g).size(), 200u);
}

}  // namespace
}  // namespace vostrel
