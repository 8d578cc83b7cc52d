#pragma once

#include <vector>

#include "environment/destination.hpp"
#include "environment/destination_group.hpp"
#include "environment/entrance.hpp"
#include "environment/walls.hpp"

namespace vostrel {

// The environment as loaded; read-only during a run.
struct Environment {
    Walls walls;
    std::vector<Entrance> entrances;
    DestinationGroup<Exit> exits;
    DestinationGroup<Point> points;
    DestinationGroup<Seat> seats;
    DestinationGroup<Queue> queues;
};

}  // namespace vostrel
