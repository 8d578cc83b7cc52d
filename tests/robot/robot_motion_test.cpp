#include "robot/robot_motion.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace vostrel {
namespace {

// The world pose the drive model's pose maps to, without any motion error.
Pose2D cleanPose(const RobotMotion& robot, const RobotPlacement& p) {
    const double h0 = p.initHeading * kRadiansPerDegree;
    const Pose2D& o = robot.drive().pose();
    return {(o.x * std::cos(h0) - o.y * std::sin(h0)) / 1000.0 + p.initX,
            (o.x * std::sin(h0) + o.y * std::cos(h0)) / 1000.0 + p.initY, o.heading + h0};
}

class RobotMotionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        robot.place(placement);
        robot.startDrive(DriveSettings{}, 0);
    }
    // Runs cycles every 100 ms from the current time up to `until`.
    void runUntil(Tick until) {
        for (; now < until;) {
            now += 100;
            robot.update(std::nullopt, now, placement, rng);
        }
    }

    RobotPlacement placement;
    RobotMotion robot;
    CRandom rng{7};
    Tick now = 0;
};

TEST_F(RobotMotionTest, WithoutCommandsTheRobotStaysAtTheInitialPose) {
    placement.moveErrorX = placement.moveErrorY = 0.3;
    placement.moveErrorHeading = 5.0;
    runUntil(2000);
    EXPECT_EQ(robot.pose(), (Pose2D{3.5, 1.0, 200.0 * kRadiansPerDegree}));
    EXPECT_EQ(robot.speed(), 0.0);
    EXPECT_EQ(robot.turnRate(), 0.0);
}

TEST_F(RobotMotionTest, CommandTakesEffectFromTheNextCycleAndIgnoresVy) {
    now = 100;
    robot.update(VelocityCommand{0.2, 5.0, 0.0}, now, placement, rng);
    EXPECT_EQ(robot.pose(), (Pose2D{3.5, 1.0, 200.0 * kRadiansPerDegree}));
    EXPECT_EQ(robot.speed(), 0.0);
    runUntil(200);
    EXPECT_DOUBLE_EQ(robot.speed(), 0.04);  // follows the ramp, not the command
    // 2 mm along the initial heading, nothing sideways.
    const double h0 = 200.0 * kRadiansPerDegree;
    EXPECT_NEAR(robot.pose().x, 3.5 + 0.002 * std::cos(h0), 1e-12);
    EXPECT_NEAR(robot.pose().y, 1.0 + 0.002 * std::sin(h0), 1e-12);
}

TEST_F(RobotMotionTest, InitialPoseIsReadEveryCycleAndHeadingIsNotWrapped) {
    robot.update(VelocityCommand{0.0, 0.0, 1.0}, now, placement, rng);
    runUntil(2000);
    EXPECT_GT(robot.pose().heading, std::numbers::pi);  // 200 degrees plus a turn
    EXPECT_EQ(robot.pose(), cleanPose(robot, placement));
    placement.initX = -2.0;
    placement.initHeading = 10.0;
    runUntil(2100);
    EXPECT_EQ(robot.pose(), cleanPose(robot, placement));
    EXPECT_NEAR(robot.pose().x, -2.0, 1e-9);  // turning on the spot at the new origin
}

TEST_F(RobotMotionTest, ThreeDrawsEveryCycleEvenWithoutError) {
    CRandom reference{7};
    robot.update(VelocityCommand{0.3, 0.0, 0.2}, 100, placement, rng);
    for (int i = 0; i < 6; ++i) reference.rand();
    EXPECT_EQ(rng.state(), reference.state());
    now = 100;
    runUntil(1000);
    for (int i = 0; i < 9 * 6; ++i) reference.rand();
    EXPECT_EQ(rng.state(), reference.state());
    EXPECT_EQ(robot.pose(), cleanPose(robot, placement));
}

TEST_F(RobotMotionTest, ErrorRunsAlongTheInitialAxesAndIsNotFedBack) {
    placement.moveErrorX = 0.5;
    RobotMotion twin;  // the same run without error
    RobotPlacement clean = placement;
    clean.moveErrorX = 0.0;
    CRandom twinRng{7};
    twin.place(clean);
    twin.startDrive(DriveSettings{}, 0);

    const VelocityCommand turnAndGo{0.4, 0.0, 0.6};
    robot.update(turnAndGo, 0, placement, rng);
    twin.update(turnAndGo, 0, clean, twinRng);
    const double h0 = placement.initHeading * kRadiansPerDegree;
    for (Tick t = 100; t <= 3000; t += 100) {
        robot.update(std::nullopt, t, placement, rng);
        twin.update(std::nullopt, t, clean, twinRng);
        EXPECT_EQ(robot.drive().pose(), twin.drive().pose());
        const Pose2D c = cleanPose(robot, placement);
        const double ex = robot.pose().x - c.x;
        const double ey = robot.pose().y - c.y;
        // Parallel to the initial heading although the robot has turned away from it.
        EXPECT_NEAR(ex * std::sin(h0) - ey * std::cos(h0), 0.0, 1e-12);
        EXPECT_EQ(robot.pose().heading, c.heading);
    }
    EXPECT_GT(std::fabs(robot.drive().pose().heading), 0.5);
}

TEST_F(RobotMotionTest, ErrorAfterStoppingIsScaledByTheLastErroneousStep) {
    placement.moveErrorX = 0.5;
    robot.update(VelocityCommand{0.4, 0.0, 0.0}, 0, placement, rng);
    runUntil(1000);
    robot.update(VelocityCommand{}, now, placement, rng);
    runUntil(4000);  // wheels are at rest again long before this
    const Pose2D resting = cleanPose(robot, placement);
    const Pose2D before = robot.pose();
    ASSERT_NE(before, resting);
    runUntil(4100);
    // The clean pose no longer moves, yet the error is redrawn from the gap to the last pose.
    EXPECT_EQ(cleanPose(robot, placement), resting);
    EXPECT_NE(robot.pose(), before);
    EXPECT_NE(robot.pose(), resting);
}

TEST_F(RobotMotionTest, OnlyCommandsWithFiniteValuesAndWheelSpeedsAreAccepted) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double big = std::numeric_limits<double>::max();
    for (const VelocityCommand& bad :
         {VelocityCommand{nan, 0, 0}, VelocityCommand{0, nan, 0}, VelocityCommand{0, 0, inf},
          VelocityCommand{-inf, 0, 0}, VelocityCommand{1e308, 0, -1e308},  // vx*1000 overflows
          VelocityCommand{1e305, 0, 0},                                    // left + right overflows
          VelocityCommand{0, 0, 1e306}})                                   // wheel targets overflow
        EXPECT_FALSE(robot.accepts(bad)) << bad.vx << " " << bad.vy << " " << bad.va;
    for (const VelocityCommand& good :
         {VelocityCommand{0.2, 0, 0.5}, VelocityCommand{-3, 1e9, -7},
          VelocityCommand{1e300, 0, 1e300}, VelocityCommand{0, big, 0},
          VelocityCommand{4.9e-324, 0, -4.9e-324}})
        EXPECT_TRUE(robot.accepts(good)) << good.vx << " " << good.vy << " " << good.va;
}

// Whatever an accepted command asks for, the pose stays finite, also over a long interval.
TEST_F(RobotMotionTest, AcceptedExtremeCommandsKeepThePoseFinite) {
    for (const VelocityCommand& c : {VelocityCommand{1e300, 0, 0}, VelocityCommand{0, 0, 1e300},
                                     VelocityCommand{-1e300, 0, 1e300}}) {
        ASSERT_TRUE(robot.accepts(c));
        robot.update(c, now += 100, placement, rng);
        for (Tick step : {100u, 100u, 4000000000u, 100u}) {
            const Pose2D& p = robot.update(std::nullopt, now += step, placement, rng);
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.heading));
            ASSERT_TRUE(std::isfinite(robot.speed()) && std::isfinite(robot.turnRate()));
        }
    }
}

}  // namespace
}  // namespace vostrel
