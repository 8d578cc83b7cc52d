#include "robot/drive_model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vostrel {
namespace {

constexpr double kTread = 332.5;

DriveModel drive(double acceleration = 400.0, double deceleration = 400.0, Tick start = 0) {
    DriveModel d;
    d.setup(kTread, acceleration, deceleration, 0.0, 0.0, 0.0);
    d.reset(start);
    return d;
}

TEST(DriveModelRamp, WheelsRiseAtTheAccelerationAndStopAtTheTarget) {
    DriveModel d = drive();
    d.command(200.0, 0.0, 0);  // the interval up to 0 is empty; targets apply from here
    d.advance(100);
    EXPECT_DOUBLE_EQ(d.leftSpeed(), 40.0);
    EXPECT_DOUBLE_EQ(d.rightSpeed(), 40.0);
    EXPECT_DOUBLE_EQ(d.linearVelocity(), 40.0);
    EXPECT_DOUBLE_EQ(d.angularVelocity(), 0.0);
    // Mean speed over the interval is 20 mm/s: 2 mm in 0.1 s.
    EXPECT_DOUBLE_EQ(d.pose().x, 2.0);
    EXPECT_DOUBLE_EQ(d.pose().y, 0.0);

    d.advance(2000);
    EXPECT_DOUBLE_EQ(d.leftSpeed(), 200.0);
    EXPECT_DOUBLE_EQ(d.rightSpeed(), 200.0);
}

TEST(DriveModelRamp, RatesFollowTheSignedSpeed) {
    DriveModel d = drive(400.0, 100.0);
    d.command(-200.0, 0.0, 0);
    d.advance(100);  // falling from rest into reverse: the deceleration
    EXPECT_DOUBLE_EQ(d.leftSpeed(), -10.0);
    EXPECT_DOUBLE_EQ(d.rightSpeed(), -10.0);
    d.command(0.0, 0.0, 100);
    d.advance(110);  // a reversing wheel slowing towards 0 rises: the acceleration
    EXPECT_DOUBLE_EQ(d.leftSpeed(), -6.0);
    d.advance(1000);
    EXPECT_DOUBLE_EQ(d.leftSpeed(), 0.0);
}

TEST(DriveModelRamp, TickWrapStillGivesTheInterval) {
    const Tick start = 0xFFFFFFFFu - 49u;  // 50 ms before the counter wraps
    DriveModel d = drive(400.0, 400.0, start);
    d.command(200.0, 0.0, start);
    d.advance(start + 100u);  // wraps to 50
    EXPECT_DOUBLE_EQ(d.leftSpeed(), 40.0);
}

TEST(DriveModelArc, PureTurnStaysOnTheSpot) {
    DriveModel d = drive();
    d.command(0.0, 1.0, 0);
    EXPECT_DOUBLE_EQ(d.targetLeftSpeed(), -kTread / 2.0);
    EXPECT_DOUBLE_EQ(d.targetRightSpeed(), kTread / 2.0);
    for (Tick t = 100; t <= 3000; t += 100) d.advance(t);
    EXPECT_EQ(d.pose().x, 0.0);
    EXPECT_EQ(d.pose().y, 0.0);
    EXPECT_GT(d.pose().heading, 0.0);
    EXPECT_DOUBLE_EQ(d.angularVelocity(), 1.0);
}

TEST(DriveModelArc, ConstantWheelSpeedsFollowTheCircle) {
    // Very high rates: the wheels reach their targets in the first step and stay there.
    DriveModel d = drive(1e9, 1e9);
    const double v = 300.0;
    const double omega = 0.8;
    d.command(v, omega, 0);
    d.advance(10);
    const Pose2D p0 = d.pose();
    d.advance(1010);
    const double rho = v / omega;
    const double cx = p0.x - rho * std::sin(p0.heading);
    const double cy = p0.y + rho * std::cos(p0.heading);
    const double h1 = p0.heading + omega * 1.0;
    EXPECT_NEAR(d.pose().x, cx + rho * std::sin(h1), 1e-9);
    EXPECT_NEAR(d.pose().y, cy - rho * std::cos(h1), 1e-9);
    EXPECT_NEAR(d.pose().heading, h1, 1e-12);
}

TEST(DriveModelArc, StraightBranchOnlyForExactlyEqualSpeedsAndTheArcJoinsIt) {
    // Very high rates: the wheels reach their targets within the first millisecond.
    const auto cruise = [](double omega) {
        DriveModel d = drive(1e9, 1e9);
        d.command(250.0, omega, 0);
        d.advance(1);
        const Pose2D p0 = d.pose();
        d.advance(1001);
        return Pose2D{d.pose().x - p0.x, d.pose().y - p0.y, d.pose().heading - p0.heading};
    };
    const Pose2D straight = cruise(0.0);
    EXPECT_DOUBLE_EQ(straight.x, 250.0);
    EXPECT_EQ(straight.heading, 0.0);

    const Pose2D nearly = cruise(1e-9);
    EXPECT_NE(nearly.heading, 0.0);
    EXPECT_NEAR(nearly.x, 250.0, 1e-6);
    EXPECT_NEAR(nearly.y, 0.0, 1e-6);
}

TEST(DriveModelArc, HeadingStaysInHalfOpenPiRangeEvenOverLongPauses) {
    DriveModel d = drive(1e9, 1e9);
    d.command(0.0, 2.0, 0);
    for (Tick t = 50; t < 20000; t += 50) {
        d.advance(t);
        ASSERT_GT(d.pose().heading, -std::numbers::pi);
        ASSERT_LE(d.pose().heading, std::numbers::pi);
    }
    d.advance(0x7FFFFFFFu);  // weeks of turning in one interval
    EXPECT_GT(d.pose().heading, -std::numbers::pi);
    EXPECT_LE(d.pose().heading, std::numbers::pi);
}

TEST(DriveModelState, ResetReturnsHomeAtRestAndAPauseAtRestMovesNothing) {
    DriveModel d = drive();
    d.command(200.0, 0.5, 0);
    d.advance(700);
    d.reset(900);
    d.advance(5000);
    EXPECT_EQ(d.pose(), (Pose2D{0.0, 0.0, 0.0}));
    EXPECT_EQ(d.leftSpeed(), 0.0);
    EXPECT_EQ(d.targetRightSpeed(), 0.0);
}

}  // namespace
}  // namespace vostrel
