#pragma once

namespace vostrel {

// A robot as persons see it: position in metres, heading in radians (not normalised).
struct RobotPose {
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;
};

}  // namespace vostrel
