#pragma once

#include <cstdint>

namespace vostrel {

// Size and cell size of the local grid, fixed at activation: sizes of at least 1 cell and at
// most kMaxGridCells together, a positive finite scale.
struct LocalMapSettings {
    std::int32_t width = 200;   // cells
    std::int32_t height = 200;  // cells
    double scale = 0.05;        // m per cell
};

}  // namespace vostrel
