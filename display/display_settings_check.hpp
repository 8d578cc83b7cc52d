#pragma once

#include <iosfwd>

#include "display/display_settings.hpp"
#include "environment/walls.hpp"
#include "sim/configuration.hpp"

namespace vostrel {

// show_map_scale turned into the display's settings, as layer_settings does for the other
// layers; apart from them because only this one needs the display library. A scale that is not
// positive and finite, or that is too fine for the walls to show whole (with the rows bandFor
// adds, see showsWhole), is reported on console and the default used; when even that does not
// show them whole, a line says that the window shows a part.
DisplaySettings displaySettings(const Configuration& config, const Walls& walls,
                                int (*bandFor)(int width), std::ostream& console);

}  // namespace vostrel
