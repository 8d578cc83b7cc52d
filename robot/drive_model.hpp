#pragma once

#include "environment/pose_2d.hpp"
#include "platform/clock.hpp"

namespace vostrel {

// A differential drive in its own odometry frame: millimetres, radians, mm/s. Each wheel's
// speed ramps towards its target at a bounded rate and the pose follows a circular arc over
// the interval between two updates. Time comes in as the caller's millisecond tick.
class DriveModel {
  public:
    // Tread T [mm], acceleration and deceleration [mm/s^2], and the pose to start from.
    void setup(double tread, double acceleration, double deceleration, double x, double y,
               double heading);
    // Back to the home pose with both wheels and their targets at rest; t is the new epoch.
    void reset(Tick t);
    // Wheel targets for forward speed v [mm/s] and turning rate omega [rad/s].
    void setTarget(double v, double omega);
    // Whether setTarget(v, omega) would leave every wheel quantity finite. A non-finite
    // target (inf - inf in the ramp, for one) would poison the pose for good.
    bool acceptsTarget(double v, double omega) const;
    // Ramps the wheels and integrates the pose from the last update up to t.
    void advance(Tick t);
    // The interval up to t still runs on the old targets; the new ones apply from then on.
    void command(double v, double omega, Tick t);

    const Pose2D& pose() const { return pose_; }
    const Pose2D& homePose() const { return home_; }
    double linearVelocity() const { return v_; }
    double angularVelocity() const { return omega_; }
    double leftSpeed() const { return left_; }
    double rightSpeed() const { return right_; }
    double targetLeftSpeed() const { return targetLeft_; }
    double targetRightSpeed() const { return targetRight_; }
    double tread() const { return tread_; }
    Tick lastUpdate() const { return lastUpdate_; }

  private:
    Pose2D home_;
    Pose2D pose_;
    double targetLeft_ = 0.0;
    double targetRight_ = 0.0;
    double right_ = 0.0;
    double left_ = 0.0;
    double v_ = 0.0;
    double omega_ = 0.0;
    double acceleration_ = 0.0;
    double deceleration_ = 0.0;
    double tread_ = 0.0;
    Tick lastUpdate_ = 0;
};

}  // namespace vostrel
