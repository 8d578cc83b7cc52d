#pragma once

#include "environment/segment.hpp"
#include "platform/gaussian_random.hpp"

namespace vostrel {

// A line through which persons arrive at normally distributed intervals.
struct Entrance {
    int id = 0;
    Segment line;
    GaussianRandom interval;  // seconds between two arrivals
    double countdown = 0.0;   // seconds to the next arrival

    Entrance() = default;
    // Draws the first countdown.
    Entrance(int id, Segment line, GaussianRandom interval, CRandom& rng);

    // Counts down by dt; true when a person arrives (at most one per tick, the rest carries over).
    bool tick(double dt, CRandom& rng);
    // A point near the middle of the line; not clamped to the line's ends.
    Vec2 spawnPoint(CRandom& rng) const;
};

}  // namespace vostrel
