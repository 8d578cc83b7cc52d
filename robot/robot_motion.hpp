#pragma once

#include <optional>

#include "environment/pose_2d.hpp"
#include "platform/c_random.hpp"
#include "platform/clock.hpp"
#include "robot/drive_model.hpp"
#include "robot/drive_settings.hpp"
#include "robot/robot_placement.hpp"
#include "robot/velocity_command.hpp"

namespace vostrel {

// The simulated robot: the drive model in its odometry frame, mapped onto the world at the
// initial pose, plus a fresh motion error every cycle. The error is never fed back into the
// drive model, so it does not accumulate; it only scales with how far the robot moved.
class RobotMotion {
  public:
    // The pose at the start of a run: the initial pose itself, before the drive runs.
    void place(const RobotPlacement& placement);
    // Sets the drive up at rest in its home pose with the epoch now.
    void startDrive(const DriveSettings& settings, Tick now);

    // Whether a command may reach the drive: every value finite and the wheel speeds it asks
    // for finite. Checked by the caller, which reports what it refuses.
    bool accepts(const VelocityCommand& command) const;

    // One cycle. A command that arrived since the last cycle (nullopt when none did) is
    // handed to the drive after this cycle's interval has been integrated, so it takes effect
    // from the next cycle. Draws three values from rng in the order x, y, heading, every cycle.
    // Returns the new world pose; the caller copies it into the crowd and re-rasterises the
    // local grid around it.
    const Pose2D& update(const std::optional<VelocityCommand>& command, Tick now,
                         const RobotPlacement& placement, CRandom& rng);

    const Pose2D& pose() const { return pose_; }
    const DriveModel& drive() const { return drive_; }
    // Forward speed [m/s] and turning rate [rad/s] of the wheels now.
    double speed() const { return drive_.linearVelocity() / 1000.0; }
    double turnRate() const { return drive_.angularVelocity(); }

  private:
    DriveModel drive_;
    Pose2D pose_;
};

}  // namespace vostrel
