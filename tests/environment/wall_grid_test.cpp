// The wall index against the plain loops over all walls, on seeded random layouts.
#include <gtest/gtest.h>

#include "tests/seeded_draw.hpp"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "environment/wall_grid.hpp"
#include "environment/walls.hpp"

namespace vostrel {
namespace {

using Draw = test::SeededDraw;

// A building of the given size: axis-aligned walls on a half-metre raster (sharing end points
// and lines, as drawn plans do), slanted walls, a few very long ones and a zero-length one.
Walls layout(Draw& d, int count, double size) {
    Walls walls;
    walls.add(Segment::fromPoints({0, 0}, {size, 0}));
    walls.add(Segment::fromPoints({2, 2}, {2, 2}));
    while (walls.count() < count) {
        const int kind = d.below(4);
        const Vec2 a{std::round(d.uniform(0, size) * 2) / 2,
                     std::round(d.uniform(0, size) * 2) / 2};
        const double l = std::round(d.uniform(0.5, 6) * 2) / 2;
        if (kind == 0) walls.add(Segment::fromPoints(a, {a.x + l, a.y}));
        if (kind == 1) walls.add(Segment::fromPoints(a, {a.x, a.y + l}));
        if (kind == 2) walls.add(Segment::fromPoints(d.point(size), d.point(size)));
        if (kind == 3) walls.add(Segment{Vec2{d.uniform(-3, 3), d.uniform(-3, 3)}, d.point(size)});
    }
    return walls;
}

// Query segments that hit walls in the awkward ways: at end points, from points on a wall,
// along a wall, through a corner, as well as anywhere.
Segment query(Draw& d, const Walls& walls, double size) {
    const Segment& w = walls.all()[static_cast<std::size_t>(d.below(walls.count()))];
    const Vec2 free = d.point(size);
    const Vec2 onWall = w.origin + w.direction * d.uniform(0, 1);
    switch (d.below(7)) {
        case 0:
            return Segment::fromPoints(free, w.origin);
        case 1:
            return Segment::fromPoints(w.end(), free);
        case 2:
            return Segment::fromPoints(free, onWall);
        case 3:
            return Segment::fromPoints(w.origin + w.direction * d.uniform(0, 0.5), onWall);
        case 4:
            return Segment::fromPoints(free, free + (w.origin - free) * 2.0);
        case 5:
            return Segment::fromPoints(free, free + Vec2{d.uniform(-8, 8), d.uniform(-8, 8)});
        default:
            return Segment::fromPoints(free, d.point(size));
    }
}

TEST(WallGrid, SightTestsAgreeWithThePlainLoop) {
    // Few walls take the straight path, many go through the cells.
    for (const int count : {12, 30, 200, 2000}) {
        Draw d(static_cast<std::uint64_t>(count));
        const double size = count < 100 ? 24.0 : std::sqrt(count) * 4.0;
        const Walls walls = layout(d, count, size);
        const WallGrid grid(walls.all());
        int blocked = 0;
        for (int i = 0; i < 20000; ++i) {
            const Segment s = query(d, walls, size);
            const bool clear = walls.isClear(s);
            ASSERT_EQ(grid.isClear(s), clear) << count << " walls, case " << i;
            blocked += clear ? 0 : 1;
        }
        // Both answers occur often.
        EXPECT_GT(blocked, 4000) << count;
        EXPECT_LT(blocked, 19500) << count;
    }
}

TEST(WallGrid, SegmentsThatAreNotFiniteAreClearAsInThePlainLoop) {
    Draw d(5);
    const Walls walls = layout(d, 100, 40);
    const WallGrid grid(walls.all());
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Segment& s : {Segment{{1, 1}, {nan, 3}}, Segment{{inf, 0}, {5, 5}},
                             Segment{{1, nan}, {5, 5}}, Segment{{1, 1}, {-inf, inf}}})
        EXPECT_EQ(grid.isClear(s), walls.isClear(s));
}

TEST(WallGrid, NearbyWallsIncludeEveryWallWithinReachOnce) {
    Draw d(11);
    const Walls walls = layout(d, 400, 60);
    const WallGrid grid(walls.all());
    std::vector<int> seen(walls.all().size());
    for (int i = 0; i < 5000; ++i) {
        const Vec2 p{d.uniform(-5, 65), d.uniform(-5, 65)};
        const double reach = d.uniform(0, 3);
        std::fill(seen.begin(), seen.end(), 0);
        grid.forEachNear(p, reach, [&](std::size_t k) { ++seen[k]; });
        for (std::size_t k = 0; k < seen.size(); ++k) {
            ASSERT_LE(seen[k], 1) << "wall " << k << " twice";
            const double l = walls.all()[k].closestFrom(p, 0.0).direction.length();
            if (l <= reach) {
                ASSERT_EQ(seen[k], 1) << "wall " << k << " at " << l << " missed";
            }
        }
    }
    // A point that is not finite has every wall near it.
    int count = 0;
    grid.forEachNear({std::numeric_limits<double>::quiet_NaN(), 1}, 1,
                     [&](std::size_t) { ++count; });
    EXPECT_EQ(count, walls.count());
}

TEST(UniformGrid, ReportsOverlappingBoxesOnceAndUnboundedOnesAlways) {
    Draw d(3);
    std::vector<Box> boxes;
    for (int i = 0; i < 3000; ++i) {
        const Vec2 a = d.point(100);
        boxes.push_back({a.x, a.y, a.x + d.uniform(0, 10), a.y + d.uniform(0, 2)});
    }
    boxes[17].maxX = std::numeric_limits<double>::infinity();
    boxes[99].minY = std::numeric_limits<double>::quiet_NaN();
    UniformGrid grid;
    // Coarse cells (capped per axis) and fine ones must both be exact.
    for (const int cells : {4, 256}) {
        grid.build(boxes, 0.5, cells);
        std::vector<int> seen(boxes.size());
        for (int i = 0; i < 2000; ++i) {
            const Vec2 a{d.uniform(-10, 110), d.uniform(-10, 110)};
            const Box q{a.x, a.y, a.x + d.uniform(0, 6), a.y + d.uniform(0, 6)};
            std::fill(seen.begin(), seen.end(), 0);
            grid.query(q, [&](std::uint32_t k) { ++seen[k]; });
            // Unbounded items are everywhere, so nowhere is empty.
            ASSERT_FALSE(grid.surelyEmpty(q));
            for (std::size_t k = 0; k < boxes.size(); ++k) {
                ASSERT_LE(seen[k], 1);
                if (boxes[k].overlaps(q) || k == 17 || k == 99) {
                    ASSERT_EQ(seen[k], 1) << k;
                }
            }
        }
    }
    // Without unbounded items, open places are recognised as empty.
    boxes.resize(17);
    grid.build(boxes, 1.0, 256);
    int empty = 0;
    for (int i = 0; i < 2000; ++i) {
        const Vec2 a{d.uniform(-10, 110), d.uniform(-10, 110)};
        const Box q{a.x, a.y, a.x + d.uniform(0, 3), a.y + d.uniform(0, 3)};
        bool overlapped = false;
        for (const Box& b : boxes) overlapped = overlapped || b.overlaps(q);
        const bool said = grid.surelyEmpty(q);
        ASSERT_FALSE(said && overlapped) << i;
        empty += said ? 1 : 0;
    }
    EXPECT_GT(empty, 1500);
    // Stopping early.
    int visits = 0;
    grid.query({0, 0, 100, 100}, [&](std::uint32_t) { return ++visits < 5; });
    EXPECT_EQ(visits, 5);
}

}  // namespace
}  // namespace vostrel
