#include "platform/gaussian_random.hpp"

#include <array>
#include <cmath>

namespace vostrel {

namespace {
constexpr double kTwoPi = 6.283185307179586;
// rand() = 0 would make u1 = 0 and the radius infinite. Half a step above 0 keeps that one
// draw finite (about 4.7 sigma) and leaves every other draw untouched.
constexpr double kSmallestU1 = 0.5 / CRandom::kMax;

// Both factors of a draw depend on one value of the sequence each, which takes only
// kMax + 1 values: worked out once, a draw is two look-ups instead of a logarithm, a square
// root and a cosine (the laser's noise draws hundreds per scan). The same expressions give
// the same bits.
struct Factors {
    std::array<double, CRandom::kMax + 1> radius;
    std::array<double, CRandom::kMax + 1> turn;

    Factors() {
        for (int r = 0; r <= CRandom::kMax; ++r) {
            const double u1 = r == 0 ? kSmallestU1 : static_cast<double>(r) / CRandom::kMax;
            const double u2 = static_cast<double>(r) / CRandom::kMax;
            radius[static_cast<std::size_t>(r)] = std::sqrt(-2.0 * std::log(u1));
            turn[static_cast<std::size_t>(r)] = std::cos(kTwoPi * u2);
        }
    }
};

const Factors& factors() {
    static const Factors f;
    return f;
}
}  // namespace

double GaussianRandom::draw(CRandom& rng) const {
    const Factors& f = factors();
    const int r1 = rng.rand();
    const int r2 = rng.rand();
    return mean +
           sigma * f.radius[static_cast<std::size_t>(r1)] * f.turn[static_cast<std::size_t>(r2)];
}

}  // namespace vostrel
