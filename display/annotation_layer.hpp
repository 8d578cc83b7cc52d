#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core/types.hpp>

#include "display/agent_trails.hpp"
#include "display/simulation_window.hpp"

namespace vostrel {

struct AnnotationOptions {
    bool enabled = false;
    double trailSeconds = 0.0;  // tracks of the last seconds; 0 draws none
};

// The options from the process's settings `vostrel.display.annotate` (YES/NO) and
// `vostrel.display.trails` (seconds). A value that cannot be used is reported on console,
// naming key and value, and the default (off) taken.
AnnotationOptions annotationOptions(std::string_view annotate, std::string_view trails,
                                    std::ostream& console);

// What the annotation says about a cycle besides what the scene shows.
struct CycleCaption {
    double time = 0.0;  // s since activation
    std::int32_t step = 0;
    std::uint32_t seed = 0;
};

// Draws the top view with what a reader needs to make sense of it: a band above the world
// with the time, step, person count, seed, a legend and a scale bar; tracks of the last
// seconds; the laser thinned to every k-th ray in a light colour, so that it no longer hides
// the agents; and an arrow on the border towards the robot when it is outside the picture.
// The scene's data is only read.
class AnnotationLayer {
  public:
    static constexpr int kMaxRaysDrawn = 60;

    explicit AnnotationLayer(double trailSeconds);

    // The rows the band takes above the world in an image of this width (for
    // openSimulationWindow).
    static int bandHeight(int width);
    // Every how many rays one is drawn.
    static std::size_t rayStride(std::size_t rays);

    // One cycle's redraw and show, in place of SimulationWindow::displayStep. The window
    // must have been opened with bandHeight.
    void displayStep(SimulationWindow& window, const DisplayScene& scene,
                     const CycleCaption& caption);

  private:
    void drawTrails(SimulationWindow& window, const DisplayScene& scene);
    void drawBand(SimulationWindow& window, const DisplayScene& scene, const CycleCaption& caption);
    void drawRobotArrow(SimulationWindow& window, const DisplayScene& scene);

    AgentTrails trails_;
    std::vector<AgentTrails::PersonPosition> positions_;  // reused
};

}  // namespace vostrel
