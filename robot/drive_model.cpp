#include "robot/drive_model.hpp"

#include <cmath>
#include <numbers>

namespace vostrel {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Beyond this many turns the subtraction loop would take long, and for huge or infinite
// angles it would never end (x - 2*pi == x); a remainder gets there in one step.
constexpr double kLoopLimit = 64.0 * kTwoPi;

// One wheel's step towards its target. The rates act on the signed speed: falling, also from
// rest into reverse, uses the deceleration; rising uses the acceleration.
double ramp(double current, double target, double acceleration, double deceleration, double ms) {
    if (target < current) {
        const double next = current - deceleration * ms / 1000.0;
        return next >= target ? next : target;
    }
    if (target > current) {
        const double next = current + acceleration * ms / 1000.0;
        return next <= target ? next : target;
    }
    return target;
}

// Into (-pi, pi].
double wrapped(double a) {
    if (!std::isfinite(a)) return a;
    if (std::fabs(a) > kLoopLimit) a = std::remainder(a, kTwoPi);
    while (a > kPi) a -= kTwoPi;
    while (a <= -kPi) a += kTwoPi;
    return a;
}

}  // namespace

void DriveModel::setup(double tread, double acceleration, double deceleration, double x, double y,
                       double heading) {
    tread_ = tread;
    acceleration_ = acceleration;
    deceleration_ = deceleration;
    pose_ = {x, y, heading};
}

void DriveModel::reset(Tick t) {
    pose_ = home_;
    targetLeft_ = targetRight_ = 0.0;
    left_ = right_ = 0.0;
    v_ = omega_ = 0.0;
    lastUpdate_ = t;
}

void DriveModel::setTarget(double v, double omega) {
    targetLeft_ = v - omega * tread_ / 2.0;
    targetRight_ = v + omega * tread_ / 2.0;
}

bool DriveModel::acceptsTarget(double v, double omega) const {
    // The same expressions as setTarget and advance, so that the answer is exact.
    const double left = v - omega * tread_ / 2.0;
    const double right = v + omega * tread_ / 2.0;
    return std::isfinite(v) && std::isfinite(omega) && std::isfinite(left) &&
           std::isfinite(right) && std::isfinite(left + right) && std::isfinite(right - left) &&
           std::isfinite((right - left) / tread_);
}

void DriveModel::advance(Tick t) {
    const Tick dtMs = t - lastUpdate_;  // unsigned: a wrapped tick still gives the interval
    const double ms = static_cast<double>(dtMs);
    const double oldLeft = left_;
    const double oldRight = right_;
    left_ = ramp(left_, targetLeft_, acceleration_, deceleration_, ms);
    right_ = ramp(right_, targetRight_, acceleration_, deceleration_, ms);
    v_ = (left_ + right_) / 2.0;
    omega_ = (right_ - left_) / tread_;

    // Trapezoidal means: the wheels ramp linearly over the interval.
    const double l = (left_ + oldLeft) / 2.0;
    const double r = (right_ + oldRight) / 2.0;
    const double dTheta = (r - l) / tread_ * ms / 1000.0;
    const double chord =
        l == r ? r * ms / 1000.0 : (r + l) * tread_ / (r - l) * std::sin(dTheta / 2.0);
    pose_.x += chord * std::cos(pose_.heading + dTheta / 2.0);
    pose_.y += chord * std::sin(pose_.heading + dTheta / 2.0);
    pose_.heading = wrapped(pose_.heading + dTheta);
    lastUpdate_ = t;
}

void DriveModel::command(double v, double omega, Tick t) {
    advance(t);
    setTarget(v, omega);
}

}  // namespace vostrel
