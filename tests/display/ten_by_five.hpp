#pragma once

#include "environment/walls.hpp"

namespace vostrel::testing {

// Walls reaching 10 m x 5 m: at the default scale a window of 202 x 102 pixels.
inline Walls tenByFive() {
    Walls w;
    w.add(Segment::fromPoints({0.0, 0.0}, {10.0, 5.0}));
    return w;
}

}  // namespace vostrel::testing
