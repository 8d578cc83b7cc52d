// Scans with per-ray candidate lists against scans testing every wall and person on every ray.
#include <gtest/gtest.h>

#include "tests/seeded_draw.hpp"

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "robot/range_sensor.hpp"

namespace vostrel {
namespace {

using Draw = test::SeededDraw;

struct Fan {
    double start, end, maxDistance;
    std::int32_t farCode, rays;
    double sensorX, sensorHeading, sigma;
};

void expectSameScans(const Fan& fan, std::uint64_t seed, int scans) {
    Draw d(seed);
    RangeSensor sorted(RangeSensorSettings{.startAngle = fan.start,
                                           .endAngle = fan.end,
                                           .maxDistance = fan.maxDistance,
                                           .farCode = fan.farCode,
                                           .rayCount = fan.rays,
                                           .x = fan.sensorX,
                                           .y = 0.05,
                                           .heading = fan.sensorHeading,
                                           .noiseSigma = fan.sigma});
    RangeSensor plain = sorted;
    plain.usePlainLoops(true);
    CRandom ra{7}, rb{7};
    int hits = 0;
    for (int scan = 0; scan < scans; ++scan) {
        // Axis-aligned walls on a raster, slanted ones, and walls through the sensor's spot.
        Pose2D pose{d.uniform(2, 18), d.uniform(2, 18), d.uniform(-4, 4)};
        if (scan % 5 == 0) pose = {std::round(pose.x), std::round(pose.y), 0.0};
        std::vector<Segment> walls;
        for (int k = 0; k < 40; ++k) {
            const Vec2 a{std::round(d.uniform(0, 20)), std::round(d.uniform(0, 20))};
            switch (d.below(4)) {
                case 0:
                    walls.push_back(Segment::fromPoints(a, a + Vec2{d.uniform(-8, 8), 0}));
                    break;
                case 1:
                    walls.push_back(Segment::fromPoints(a, a + Vec2{0, d.uniform(-8, 8)}));
                    break;
                case 2:
                    walls.push_back(Segment{{d.uniform(-5, 5), d.uniform(-5, 5)}, a});
                    break;
                default: {
                    const Vec2 o{pose.x + fan.sensorX, pose.y + 0.05};
                    walls.push_back(Segment::fromPoints(o + (a - o) * 0.2, a));
                }
            }
        }
        walls.push_back(Segment{{}, {pose.x + 1, pose.y}});  // no length
        std::vector<Vec2> persons;
        for (int j = 0; j < 60; ++j) persons.push_back({d.uniform(0, 20), d.uniform(0, 20)});
        persons.push_back({pose.x + 0.1, pose.y});  // the sensor inside somebody
        persons.push_back({std::numeric_limits<double>::quiet_NaN(), 3.0});
        persons.push_back({std::numeric_limits<double>::infinity(), pose.y});
        const double radius = scan % 7 == 3 ? 0.0 : d.uniform(0.05, 0.5);
        sorted.scan(pose, walls, persons, radius, ra);
        plain.scan(pose, walls, persons, radius, rb);
        ASSERT_EQ(ra.state(), rb.state()) << "scan " << scan;
        for (std::size_t i = 0; i < sorted.readings().size(); ++i) {
            ASSERT_EQ(sorted.readings()[i], plain.readings()[i]) << "scan " << scan << " ray " << i;
            const Segment a = sorted.displayRays()[i], b = plain.displayRays()[i];
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.direction.x),
                      std::bit_cast<std::uint64_t>(b.direction.x));
            ASSERT_EQ(std::bit_cast<std::uint64_t>(a.direction.y),
                      std::bit_cast<std::uint64_t>(b.direction.y));
            hits += plain.readings()[i] != fan.farCode ? 1 : 0;
        }
    }
    EXPECT_GT(hits, scans * fan.rays / 4);
}

TEST(RaySorting, ScansMatchThePlainLoops) {
    // The default fan, a full circle, more than a full circle, a narrow dense fan, a short
    // range and a far code that real readings can take.
    expectSameScans({-30, 210, 30, -1, 480, 0.1, 0.0, 0.01}, 1, 300);
    expectSameScans({0, 360, 30, 0, 720, 0.0, 0.3, 0.0}, 2, 150);
    expectSameScans({0, 500, 30, -1, 360, 0.0, 0.0, 0.0}, 3, 100);
    expectSameScans({80, 100, 8, 1500, 400, 0.2, -0.2, 0.02}, 4, 200);
    expectSameScans({-90, 270, 1.5, 1000, 360, 0.0, 0.0, 0.0}, 5, 200);
    expectSameScans({-30, 210, 30, 2000, 20, 0.0, 0.0, 0.0}, 6, 200);
}

TEST(RaySorting, AFanOfTheSameHeadingReusesItsDirectionsAndAnotherDoesNot) {
    RangeSensor sensor(RangeSensorSettings{});
    RangeSensor fresh = sensor;
    CRandom rng{1};
    const std::vector<Segment> walls{Segment::fromPoints({-5, 5}, {5, 5})};
    sensor.scan(Pose2D{0, 0, 0.2}, walls, {}, 0.2, rng);
    sensor.scan(Pose2D{1, 0, 0.3}, walls, {}, 0.2, rng);
    fresh.scan(Pose2D{1, 0, 0.3}, walls, {}, 0.2, rng);
    for (std::size_t i = 0; i < 480; ++i) {
        ASSERT_EQ(sensor.readings()[i], fresh.readings()[i]);
        ASSERT_EQ(sensor.displayRays()[i], fresh.displayRays()[i]);
    }
}

TEST(RaySorting, WallsCastAheadGiveTheSameScansStandingOrMoving) {
    Draw d(11);
    std::vector<Segment> walls;
    for (int k = 0; k < 40; ++k) {
        const Vec2 a{d.uniform(0, 20), d.uniform(0, 20)};
        walls.push_back(Segment::fromPoints(a, a + Vec2{d.uniform(-8, 8), d.uniform(-8, 8)}));
    }
    const RangeSensorSettings settings{.noiseSigma = 0.01};
    RangeSensor ahead(settings);
    RangeSensor plain(settings);
    plain.usePlainLoops(true);
    CRandom ra{3}, rb{3};
    Pose2D pose{10, 10, 0.0};
    for (int cycle = 0; cycle < 300; ++cycle) {
        // The robot stands still for runs of cycles, moves, or only turns.
        switch (d.below(4)) {
            case 0:
                pose = {d.uniform(2, 18), d.uniform(2, 18), d.uniform(-4, 4)};
                break;
            case 1:
                pose.heading += 0.01;
                break;
            default:
                break;
        }
        std::vector<Vec2> persons;
        for (int j = 0; j < 40; ++j) persons.push_back({d.uniform(0, 20), d.uniform(0, 20)});
        // Now and then a cast from elsewhere, or none at all: the scan must not use it.
        if (cycle % 7 == 3)
            ahead.castAtWalls({pose.x + 1.0, pose.y, pose.heading}, walls);
        else if (cycle % 7 != 5)
            ahead.castAtWalls(pose, walls);
        ahead.scan(pose, walls, persons, 0.2, ra);
        plain.scan(pose, walls, persons, 0.2, rb);
        ASSERT_EQ(ra.state(), rb.state()) << "cycle " << cycle;
        for (std::size_t i = 0; i < plain.readings().size(); ++i) {
            ASSERT_EQ(ahead.readings()[i], plain.readings()[i])
                << "cycle " << cycle << " ray " << i;
            ASSERT_EQ(ahead.displayRays()[i], plain.displayRays()[i]);
        }
    }
    // A scan without a cast ahead looks at the walls as they are now, even in the same place.
    ahead.castAtWalls(pose, walls);
    ahead.scan(pose, walls, {}, 0.2, ra);
    for (Segment& w : walls)
        w = Segment::fromPoints({pose.x - 1, pose.y + 1}, {pose.x + 1, pose.y + 1});
    CRandom rf = ra;
    ahead.scan(pose, walls, {}, 0.2, ra);
    RangeSensor fresh(settings);
    fresh.scan(pose, walls, {}, 0.2, rf);
    EXPECT_EQ(std::vector(ahead.readings().begin(), ahead.readings().end()),
              std::vector(fresh.readings().begin(), fresh.readings().end()));
}

}  // namespace
}  // namespace vostrel
