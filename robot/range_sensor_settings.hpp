#pragma once

#include <cstdint>

namespace vostrel {

// The laser's fan, range and mounting, fixed at activation. Angles are on the sensor's scale,
// where 90 degrees is straight ahead.
struct RangeSensorSettings {
    double startAngle = -30.0;    // degrees; swapped with endAngle when above it
    double endAngle = 210.0;      // degrees
    double maxDistance = 30.0;    // m
    std::int32_t farCode = -1;    // the reading of a ray that sees nothing
    std::int32_t rayCount = 480;  // kept as given; below 1 means no rays
    double x = 0.0;               // m, the sensor's place in the robot's frame
    double y = 0.0;               // m
    double heading = 0.0;         // radians, relative to the robot
    double noiseSigma = 0.0;      // m
};

}  // namespace vostrel
