#pragma once

#include <iosfwd>
#include <memory>
#include <vector>

#include "display/annotation_layer.hpp"
#include "display/simulation_window.hpp"
#include "sim/run_observer.hpp"

namespace vostrel {

struct RunDisplayOptions {
    WindowOptions window;          // show it on screen, write frames
    AnnotationOptions annotation;  // off: the plain picture
};

// The top view of a run: opens its window when the run activates, redraws it in every cycle
// and closes it when the run stops. Attached to the run by whoever wants a picture.
class RunDisplay final : public RunObserver {
  public:
    // console gets what the window has to say (no screen, frames not written).
    RunDisplay(RunDisplayOptions options, std::ostream& console);
    ~RunDisplay() override;
    RunDisplay(const RunDisplay&) = delete;
    RunDisplay& operator=(const RunDisplay&) = delete;

    void starting(const SimulationRun& run, const Configuration& config) override;
    void cycleReady(const SimulationRun& run, const Configuration& config) override;
    void stopped(const SimulationRun& run) override;

    // The open window, between activation and deactivation.
    const SimulationWindow* window() const { return window_.get(); }

  private:
    RunDisplayOptions options_;
    std::ostream& console_;
    std::unique_ptr<SimulationWindow> window_;
    std::unique_ptr<AnnotationLayer> annotation_;
    std::vector<PersonDrawData> drawData_;  // reused
};

}  // namespace vostrel
