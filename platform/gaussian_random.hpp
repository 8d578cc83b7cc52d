#pragma once

#include "platform/c_random.hpp"

namespace vostrel {

// A normal distribution {mean, sigma}; every draw is a fresh Box-Muller value made from two
// consecutive values of the sequence (u1 first), keeping no second variate, so the number of
// values consumed per draw is always two.
struct GaussianRandom {
    double mean = 0.0;
    double sigma = 0.0;

    double draw(CRandom& rng) const;
};

}  // namespace vostrel
