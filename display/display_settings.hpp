#pragma once

namespace vostrel {

// The top view's resolution, fixed at activation: positive and finite.
struct DisplaySettings {
    double showMapScale = 0.05;  // m per pixel
};

}  // namespace vostrel
