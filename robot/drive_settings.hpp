#pragma once

namespace vostrel {

// The drive's mechanics, fixed at activation. Every value is positive and finite: anything
// else would stall or derail the integration, so the caller replaces it before it gets here.
struct DriveSettings {
    double tread = 0.3325;        // m
    double acceleration = 0.400;  // m/s^2
    double deceleration = 0.400;  // m/s^2
};

}  // namespace vostrel
