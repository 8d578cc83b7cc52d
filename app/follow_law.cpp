#include "app/follow_law.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace follower {

namespace {

// A limit set to a negative or non-numeric value must not turn a clamp inside out.
double limitOf(double value) {
    return std::isfinite(value) ? std::max(value, 0.0) : 0.0;
}

}  // namespace

Velocity steer(double x, double y, const FollowLaw& law, const Velocity& previous, double seconds) {
    if (!std::isfinite(x) || !std::isfinite(y)) return {};
    const double distance = std::hypot(x, y);
    const double bearing = std::atan2(y, x);
    const double gap = distance - law.followDistance;
    const double accel = limitOf(law.maxAccel);

    // A person behind is met by turning on the spot. Backing towards them instead flips the
    // speed's sign each time the bearing crosses 90 degrees, and wheels that ramp never catch
    // up with such commands: the robot keeps whatever turn it had.
    double vx = 0;
    if (std::abs(bearing) <= std::numbers::pi / 2) {
        // Only the part of the gap along the heading drives the wheels, so a person beside
        // the robot makes it turn first rather than run off.
        vx = law.gainLinear * gap * std::cos(bearing);
        vx = std::clamp(vx, -limitOf(law.maxReverse), limitOf(law.maxSpeed));
        // No faster than lets the robot stop at the follow distance with the wheels' rate.
        vx = std::min(vx, std::sqrt(2 * accel * std::max(gap, 0.0)));
    }
    // The wheels change speed at their own rate; a command asking more than they can do in
    // one period only leaves them further behind.
    const double step = accel * limitOf(seconds);
    vx = std::clamp(vx, previous.vx - step, previous.vx + step);

    const double turn = limitOf(law.maxTurn);
    const double va = std::clamp(law.gainAngular * bearing, -turn, turn);
    if (!std::isfinite(vx) || !std::isfinite(va)) return {};
    return {vx, va};
}

}  // namespace follower
