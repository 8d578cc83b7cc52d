#include "display/display_settings_check.hpp"

#include <ostream>

#include "display/simulation_window.hpp"
#include "sim/setting_check.hpp"

namespace vostrel {

DisplaySettings displaySettings(const Configuration& config, const Walls& walls,
                                int (*bandFor)(int width), std::ostream& console) {
    const DisplaySettings fallback;
    DisplaySettings s;
    s.showMapScale =
        positiveOr("show_map_scale", config.show_map_scale, fallback.showMapScale, console);
    if (!showsWhole(walls, s.showMapScale, bandFor) && s.showMapScale != fallback.showMapScale) {
        reportRejected("show_map_scale", valueText(s.showMapScale),
                       valueText(fallback.showMapScale), console);
        s.showMapScale = fallback.showMapScale;
    }
    // The scale named is the one the window's pixels per metre give back.
    if (!showsWhole(walls, s.showMapScale, bandFor))
        console << "The environment is too large to show whole at show_map_scale "
                << valueText(1.0 / (1.0 / s.showMapScale))
                << ": the window shows its lower-left part\n";
    return s;
}

}  // namespace vostrel
