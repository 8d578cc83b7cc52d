#include "platform/gaussian_random.hpp"

#include <cmath>

namespace vostrel {

namespace {
constexpr double kTwoPi = 6.283185307179586;
// rand() = 0 would make u1 = 0 and the radius infinite. Half a step above 0 keeps that one
// draw finite (about 4.7 sigma) and leaves every other draw untouched.
constexpr double kSmallestU1 = 0.5 / CRandom::kMax;
}  // namespace

double GaussianRandom::draw(CRandom& rng) const {
    const int r1 = rng.rand();
    const double u1 = r1 == 0 ? kSmallestU1 : static_cast<double>(r1) / CRandom::kMax;
    const double u2 = static_cast<double>(rng.rand()) / CRandom::kMax;
    return mean + sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

}  // namespace vostrel
