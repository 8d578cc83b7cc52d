#pragma once

#include <cstdint>
#include <vector>

#include "environment/pose_2d.hpp"
#include "environment/vec2.hpp"

namespace vostrel {

struct ViewPerson {
    std::int32_t id = 0;
    Vec2 position;  // m
    Vec2 velocity;  // m/s; the heading is its direction
};

// What the live view shows of one cycle: a copy taken on the cycle's thread, so that the
// server may read and encode it at leisure on its own threads.
struct ViewState {
    std::int32_t run = 0;   // activations so far; a new one means a new environment
    std::int32_t step = 0;  // 0 right after activation
    double time = 0.0;      // s of the run's clock since activation
    std::uint32_t seed = 0;
    std::uint32_t cycleMs = 0;         // real time the last completed cycle took
    std::uint32_t cycleAverageMs = 0;  // and the average over the run
    std::int32_t followed = -1;        // following_target_id
    Pose2D robot;
    double robotSpeed = 0.0;     // m/s
    double robotTurnRate = 0.0;  // rad/s
    Vec2 sensor;                 // the laser's position
    std::vector<Vec2> laser;     // end points of every k-th ray, k chosen to keep this short
    std::vector<ViewPerson> persons;
    std::vector<std::int32_t> seatOccupants;        // per seat in environment order, -1 free
    std::vector<std::vector<std::int32_t>> queues;  // per queue, member ids from the head
    std::vector<std::int32_t> populations;          // per subarea in environment order
};

}  // namespace vostrel
