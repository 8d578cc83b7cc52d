#pragma once
// The follower's control law, kept apart from the component so that it can be read, copied
// and tried without an ORB.

namespace follower {

struct Velocity {
    double vx = 0;  // forward [m/s]
    double va = 0;  // turn rate, counter-clockwise [rad/s]
};

// Gains and limits. The follower binds each one to a parameter (see follower --help).
struct FollowLaw {
    double followDistance = 0;  // [m]
    double gainLinear = 0;      // forward speed per metre of distance error [1/s]
    double gainAngular = 0;     // turn rate per radian of bearing [1/s]
    double maxSpeed = 0;        // [m/s]
    double maxReverse = 0;      // [m/s]
    double maxTurn = 0;         // [rad/s]
    double maxAccel = 0;        // what the robot's wheels can do [m/s^2]
};

// The command toward a person at (x, y) in the robot's frame (x ahead, y to the left), sent
// `seconds` after `previous`. A position that is not finite gives a stop.
Velocity steer(double x, double y, const FollowLaw& law, const Velocity& previous, double seconds);

}  // namespace follower
