#pragma once

#include <vector>

namespace vostrel {

// A planned way through the subarea graph: positions in the searched subarea list from the
// start subarea to the goal subarea, and its cost (walking time plus the last leg).
struct Route {
    std::vector<int> subareas;
    double cost = 0.0;
};

}  // namespace vostrel
