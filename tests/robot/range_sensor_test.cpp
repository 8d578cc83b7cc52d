#include "robot/range_sensor.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vostrel {
namespace {

// One ray straight ahead (90 degrees on the sensor's scale), 30 m, far code -1, no noise.
RangeSensor ahead(double sigma = 0.0, double maxDistance = 30.0) {
    return RangeSensor(RangeSensorSettings{.startAngle = 90.0,
                                           .endAngle = 91.0,
                                           .maxDistance = maxDistance,
                                           .rayCount = 1,
                                           .noiseSigma = sigma});
}

std::int32_t single(RangeSensor& sensor, const std::vector<Segment>& walls,
                    const std::vector<Vec2>& persons = {}, double radius = 0.2) {
    CRandom rng{1};
    sensor.scan(Pose2D{}, walls, persons, radius, rng);
    return sensor.readings()[0];
}

TEST(RangeSensorLayout, DefaultFanRunsCounterClockwiseFromTheRight) {
    RangeSensor sensor(RangeSensorSettings{});
    EXPECT_DOUBLE_EQ(sensor.angularStep(), 0.5);
    CRandom rng{1};
    const double heading = 0.3;
    sensor.scan(Pose2D{1.0, 2.0, heading}, {}, {}, 0.2, rng);
    ASSERT_EQ(sensor.readings().size(), 480u);
    const auto angle = [&](std::size_t i) {
        const Vec2 d = sensor.displayRays()[i].direction;
        return std::atan2(d.y, d.x) - heading;
    };
    EXPECT_NEAR(angle(0), -120.0 * kRadiansPerDegree, 1e-9);
    EXPECT_NEAR(angle(240), 0.0, 1e-9);
    EXPECT_NEAR(angle(479), 119.5 * kRadiansPerDegree, 1e-9);
    EXPECT_NEAR(angle(1) - angle(0), 0.5 * kRadiansPerDegree, 1e-9);
    for (std::size_t i = 0; i < 480; ++i) {
        EXPECT_EQ(sensor.readings()[i], -1);
        EXPECT_NEAR(sensor.displayRays()[i].length(), 30.0, 1e-9);
        EXPECT_EQ(sensor.displayRays()[i].origin, (Vec2{1.0, 2.0}));
    }
}

TEST(RangeSensorLayout, SwappedLimitsAndRecordFields) {
    RangeSensor sensor(RangeSensorSettings{.startAngle = 210.0, .endAngle = -30.0});
    EXPECT_EQ(sensor.startAngle(), -30.0);
    EXPECT_EQ(sensor.endAngle(), 210.0);
    CRandom rng{1};
    sensor.scan(Pose2D{}, {}, {}, 0.2, rng);
    RangeData out;
    sensor.fill(out);
    EXPECT_EQ(out.startPosition, -30.0f);
    EXPECT_EQ(out.endPosition, 210.0f);
    EXPECT_EQ(out.dataInterval, 0.5f);
    EXPECT_EQ(out.dataGroupingNumber, 1);
    EXPECT_EQ(out.scanInterval, 0);
    EXPECT_EQ(out.sensorState, "NORMAL");
    EXPECT_EQ(out.distance.size(), 480u);
}

TEST(RangeSensorLayout, NegativeRayCountMeansNoRays) {
    RangeSensor sensor(RangeSensorSettings{.rayCount = -5, .noiseSigma = 0.1});
    EXPECT_EQ(sensor.rayCount(), -5);
    EXPECT_EQ(sensor.angularStep(), 0.0);
    CRandom rng{1};
    sensor.scan(Pose2D{}, std::vector<Segment>{Segment::fromPoints({1, -1}, {1, 1})}, {}, 0.2, rng);
    EXPECT_TRUE(sensor.readings().empty());
    EXPECT_EQ(rng.state(), 1u);
    RangeData out;
    sensor.fill(out);
    EXPECT_TRUE(out.distance.empty());
    EXPECT_EQ(out.dataInterval, 0.0f);
}

TEST(RangeSensorLayout, SensorOffsetAndHeadingFollowTheRobot) {
    // Sensor 0.5 m forward and 0.1 m left, looking 90 degrees left of the robot.
    RangeSensor sensor(RangeSensorSettings{.startAngle = 90.0,
                                           .endAngle = 91.0,
                                           .rayCount = 1,
                                           .x = 0.5,
                                           .y = 0.1,
                                           .heading = 90.0 * kRadiansPerDegree});
    CRandom rng{1};
    sensor.scan(Pose2D{2.0, 3.0, 90.0 * kRadiansPerDegree}, {}, {}, 0.2, rng);
    const Segment ray = sensor.displayRays()[0];
    EXPECT_NEAR(ray.origin.x, 1.9, 1e-12);
    EXPECT_NEAR(ray.origin.y, 3.5, 1e-12);
    EXPECT_NEAR(ray.direction.x, -30.0, 1e-9);
    EXPECT_NEAR(ray.direction.y, 0.0, 1e-9);
}

TEST(RangeSensorWalls, ReadsTheTruncatedDistanceToTheNearestCrossedWall) {
    RangeSensor sensor = ahead();
    EXPECT_EQ(single(sensor, {Segment::fromPoints({2, -1}, {2, 1})}), 2000);
    // Slightly tilted wall: the distance along the ray is never below 2 m.
    EXPECT_EQ(single(sensor, {Segment::fromPoints({2.0, -1}, {2.0001, 1})}), 2000);
    EXPECT_EQ(single(sensor, {Segment::fromPoints({5, -1}, {5, 1}),
                              Segment::fromPoints({2.5, 1}, {2.5, -1})}),
              2500);
    EXPECT_EQ(sensor.displayRays()[0].direction, (Vec2{2.5, 0.0}));
}

TEST(RangeSensorWalls, TouchingParallelAndDistantWallsAreNoHits) {
    RangeSensor sensor = ahead(0.0, 2.0);
    EXPECT_EQ(single(sensor, {Segment::fromPoints({1, 0}, {1, 1})}), -1);      // end point on ray
    EXPECT_EQ(single(sensor, {Segment::fromPoints({2, -1}, {2, 1})}), -1);     // ray ends on it
    EXPECT_EQ(single(sensor, {Segment::fromPoints({0.5, 0}, {1.5, 0})}), -1);  // collinear
    EXPECT_EQ(single(sensor, {Segment::fromPoints({3, -1}, {3, 1})}), -1);     // beyond reach
    EXPECT_NEAR(sensor.displayRays()[0].length(), 2.0, 1e-12);
}

TEST(RangeSensorPersons, LinearBlendBetweenCentreAndGrazingRay) {
    RangeSensor sensor = ahead();
    EXPECT_EQ(single(sensor, {}, {{3.0, 0.0}}), 2800);
    EXPECT_EQ(single(sensor, {}, {{3.0, 0.1}}), 2900);
    EXPECT_EQ(single(sensor, {}, {{3.0, -0.2}}), 3000);
    EXPECT_EQ(single(sensor, {}, {{3.0, 0.25}}), -1);
    EXPECT_EQ(single(sensor, {}, {{3.0, 0.0}}, 0.0), -1);  // radius 0: persons unseen
    // A person overlapping the sensor gives a reading at or below zero.
    EXPECT_LE(single(sensor, {}, {{0.0, 0.1}}), 0);
}

TEST(RangeSensorPersons, AgreesWithTheClosestSegmentOfTheGeometryKit) {
    // Reference: the closest segment from the centre to the ray (margin 0), checked for
    // thousands of seeded single-person scenes around a fan of rays.
    RangeSensor sensor(RangeSensorSettings{
        .startAngle = 0.0, .endAngle = 360.0, .maxDistance = 5.0, .rayCount = 36});
    CRandom rng{99};
    const auto uniform = [&](double lo, double hi) {
        return lo + (hi - lo) * rng.rand() / CRandom::kMax;
    };
    int hits = 0;
    for (int i = 0; i < 4000; ++i) {
        const Pose2D robot{uniform(-1, 1), uniform(-1, 1), uniform(-3, 3)};
        const Vec2 person{uniform(-6, 6), uniform(-6, 6)};
        const double r = uniform(0.05, 0.6);
        CRandom scanRng{1};
        sensor.scan(robot, {}, std::vector<Vec2>{person}, r, scanRng);
        for (std::size_t k = 0; k < 36; ++k) {
            // Not from the display ray: a reading below zero turns that one round.
            const double alpha = robot.heading - 90.0 * kRadiansPerDegree +
                                 static_cast<double>(k) * 10.0 * kRadiansPerDegree;
            const Vec2 u{std::cos(alpha), std::sin(alpha)};
            const Segment ray{u * 5.0, sensor.displayRays()[k].origin};
            const Segment closest = ray.closestFrom(person, 0.0);
            const double d = closest.length();
            if (std::fabs(d - r) < 1e-9) continue;  // grazing: either answer is right
            if (d > r) {
                ASSERT_EQ(sensor.readings()[k], -1) << "case " << i << " ray " << k;
            } else {
                const double tc = (closest.end() - ray.origin).dot(u);
                ASSERT_NEAR(sensor.readings()[k], 1000.0 * (tc + d - r), 1.0)
                    << "case " << i << " ray " << k;
                ++hits;
            }
        }
    }
    EXPECT_GT(hits, 1000);
}

TEST(RangeSensorPersons, NearestOfWallsAndPersonsWhateverTheOrder) {
    RangeSensor sensor = ahead();
    const std::vector<Segment> wall{Segment::fromPoints({4, -1}, {4, 1})};
    EXPECT_EQ(single(sensor, wall, {{3.0, 0.0}, {1.5, 0.0}}), 1300);
    EXPECT_EQ(single(sensor, wall, {{6.0, 0.0}}), 4000);
    EXPECT_EQ(single(sensor, {Segment::fromPoints({1, -1}, {1, 1})}, {{3.0, 0.0}}), 1000);
}

TEST(RangeSensorNoise, DrawnOnlyForHitsAndNeverClamped) {
    // Two rays: one straight ahead at a wall, one backwards into nothing.
    RangeSensor sensor(RangeSensorSettings{.startAngle = 90.0, .endAngle = 450.0, .rayCount = 2});
    const std::vector<Segment> wall{Segment::fromPoints({2, -1}, {2, 1})};
    CRandom rng{11};
    CRandom reference{11};
    sensor.scan(Pose2D{}, wall, {}, 0.2, rng);
    reference.rand();
    reference.rand();
    EXPECT_EQ(rng.state(), reference.state());  // one draw, even with sigma 0
    EXPECT_EQ(sensor.readings()[0], 2000);
    EXPECT_EQ(sensor.readings()[1], -1);

    RangeSensor noisy(RangeSensorSettings{
        .startAngle = 90.0, .endAngle = 450.0, .rayCount = 2, .noiseSigma = 3.0});
    bool negative = false;
    for (std::uint32_t seed = 1; seed < 200; ++seed) {
        CRandom r{seed};
        noisy.scan(Pose2D{}, wall, {}, 0.2, r);
        EXPECT_EQ(noisy.readings()[1], -1);
        EXPECT_EQ(noisy.displayRays()[0].direction, (Vec2{2.0, 0.0}));  // noise-free ray
        negative = negative || noisy.readings()[0] < 0;
    }
    EXPECT_TRUE(negative);
}

TEST(RangeSensorCodes, FarCodeIsComparedByValueAndHugeRangesSaturate) {
    // Far code 2000: a wall at exactly 2 m reads like "nothing yet", so a farther wall wins.
    RangeSensor sensor(
        RangeSensorSettings{.startAngle = 90.0, .endAngle = 91.0, .farCode = 2000, .rayCount = 1});
    EXPECT_EQ(single(sensor,
                     {Segment::fromPoints({2, -1}, {2, 1}), Segment::fromPoints({3, -1}, {3, 1})}),
              3000);
    EXPECT_EQ(single(sensor, {Segment::fromPoints({2, -1}, {2, 1})}), 2000);
    EXPECT_NEAR(sensor.displayRays()[0].length(), 30.0, 1e-12);  // shown as "nothing seen"

    RangeSensor far = ahead(0.0, 1e7);
    EXPECT_EQ(single(far, {Segment::fromPoints({3e6, -1}, {3e6, 1})}),
              std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace vostrel
