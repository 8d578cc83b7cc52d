#pragma once

#include "environment/segment.hpp"
#include "platform/gaussian_random.hpp"

namespace vostrel {

// A line through which persons arrive at normally distributed intervals. The definition only:
// the countdown to the next arrival belongs to the run, which draws the first one.
struct Entrance {
    int id = 0;
    Segment line;
    GaussianRandom interval;  // seconds between two arrivals

    // Counts countdown down by dt; true when a person arrives (at most one per tick, the rest
    // carries over into the next interval, drawn here).
    bool tick(double& countdown, double dt, CRandom& rng) const;
    // A point near the middle of the line; not clamped to the line's ends.
    Vec2 spawnPoint(CRandom& rng) const;
};

}  // namespace vostrel
