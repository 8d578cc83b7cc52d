#pragma once

namespace vostrel {

// The cell size of the map of the whole environment, fixed at activation: positive and
// finite.
struct AbsoluteMapSettings {
    double scale = 0.1;  // m per cell
};

}  // namespace vostrel
