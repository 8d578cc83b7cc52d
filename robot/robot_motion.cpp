#include "robot/robot_motion.hpp"

#include <cmath>

#include "platform/gaussian_random.hpp"

namespace vostrel {

void RobotMotion::place(const RobotPlacement& placement) {
    pose_ = {placement.initX, placement.initY, placement.initHeading * kRadiansPerDegree};
}

void RobotMotion::startDrive(const DriveSettings& settings, Tick now) {
    drive_.setup(settings.tread * 1000.0, settings.acceleration * 1000.0,
                 settings.deceleration * 1000.0, 0.0, 0.0, 0.0);
    drive_.reset(now);
}

bool RobotMotion::accepts(const VelocityCommand& command) const {
    return std::isfinite(command.vx) && std::isfinite(command.vy) && std::isfinite(command.va) &&
           drive_.acceptsTarget(command.vx * 1000.0, command.va);
}

const Pose2D& RobotMotion::update(const std::optional<VelocityCommand>& command, Tick now,
                                  const RobotPlacement& placement, CRandom& rng) {
    if (command)
        drive_.command(command->vx * 1000.0, command->va, now);
    else
        drive_.advance(now);

    const double h0 = placement.initHeading * kRadiansPerDegree;
    const double c = std::cos(h0);
    const double s = std::sin(h0);
    const Pose2D& odo = drive_.pose();
    const double u = (odo.x * c - odo.y * s) / 1000.0 + placement.initX;
    const double w = (odo.x * s + odo.y * c) / 1000.0 + placement.initY;
    const double heading = odo.heading + h0;

    // Distance from last cycle's noisy pose to this cycle's clean one, so an error lingers
    // for a cycle after the robot stops.
    const double dx = u - pose_.x;
    const double dy = w - pose_.y;
    const double moved = std::sqrt(dx * dx + dy * dy);
    const double ex = GaussianRandom{0.0, placement.moveErrorX}.draw(rng) * moved;
    const double ey = GaussianRandom{0.0, placement.moveErrorY}.draw(rng) * moved;
    const double eh =
        GaussianRandom{0.0, placement.moveErrorHeading * kRadiansPerDegree}.draw(rng) * moved;

    // The error is expressed along the drive frame's axes, not the current heading.
    pose_ = {u + ex * c - ey * s, w + ex * s + ey * c, heading + eh};
    return pose_;
}

}  // namespace vostrel
