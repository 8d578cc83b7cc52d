#pragma once

#include <cstdint>
#include <string>

#include "environment/area_lookup.hpp"
#include "environment/environment.hpp"
#include "web/view_state.hpp"

namespace vostrel {

// The live view's two documents (see the README): one cycle's state, and what stays fixed
// for a run. Lengths are rounded to millimetres, which is finer than anything drawn.
std::string stateJson(const ViewState& state);
std::string environmentJson(std::int32_t run, const Environment& environment,
                            const SubareaList& subareas);

// The radius persons and the robot are drawn with, m, as the window draws them.
inline constexpr double kViewAgentRadius = 0.225;

}  // namespace vostrel
