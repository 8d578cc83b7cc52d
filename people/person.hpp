#pragma once

#include <cstdint>
#include <vector>

#include "environment/action.hpp"
#include "environment/segment.hpp"

namespace vostrel {

// One simulated person; a plain value the crowd copies whole.
struct Person {
    std::int32_t id = 0;
    double walkingRate = 0.0;  // free walking speed, m/s
    // Velocity and position as one segment, because the exit test needs exactly that segment.
    Segment motion;
    // Positions in the crowd's subarea list of the subareas still to enter, next one first;
    // empty when the destination lies in the current subarea.
    std::vector<int> route;
    Action action;
    double dwellLeft = 0.0;  // exactly 0.0 means "not dwelling"

    Vec2 position() const { return motion.origin; }
    Vec2 velocity() const { return motion.direction; }
    void setPosition(Vec2 p) { motion.origin = p; }
    void setVelocity(Vec2 v) { motion.direction = v; }
};

}  // namespace vostrel
