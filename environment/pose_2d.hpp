#pragma once

namespace vostrel {

// A position and a heading, counter-clockwise from the frame's x axis. The robot pose is one
// (world metres, radians, heading not normalised); so is a map origin.
struct Pose2D {
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;

    constexpr bool operator==(const Pose2D&) const = default;
};

// Configured angles are in degrees; the geometry works in radians.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

}  // namespace vostrel
