#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "environment/area_lookup.hpp"
#include "environment/walls.hpp"

namespace vostrel::test {

// What every spatial network must satisfy: convex subareas with disjoint interiors whose areas
// add up to the reachable free area, no wall through any subarea, and links that are
// symmetric, run along a side of both subareas and never cross or follow a wall.
::testing::AssertionResult soundNetwork(const SubareaList& subareas, const Walls& walls,
                                        double reachableArea);

}  // namespace vostrel::test
