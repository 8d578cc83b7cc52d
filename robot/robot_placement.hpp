#pragma once

namespace vostrel {

// Where the drive model's frame sits in the world and how noisy the motion is; read every
// cycle, so a change takes effect at once.
struct RobotPlacement {
    double initX = 3.5;             // m
    double initY = 1.0;             // m
    double initHeading = 200.0;     // degrees
    double moveErrorX = 0.0;        // m per m moved, along the drive frame's x axis
    double moveErrorY = 0.0;        // m per m moved, along the drive frame's y axis
    double moveErrorHeading = 0.0;  // degrees per m moved
};

}  // namespace vostrel
