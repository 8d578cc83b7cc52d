#pragma once

namespace vostrel {

class SimulationRun;
struct Configuration;

// Something attached to a run from outside that watches it: the window, the live view. Every
// call comes on the run's thread, inside the measured cycle time, so an observer must neither
// wait for anybody nor change the run.
class RunObserver {
  public:
    virtual ~RunObserver() = default;

    // During activation, once the new environment and both maps are in place and before the
    // drive starts and the initialisation is declared finished.
    virtual void starting(const SimulationRun&, const Configuration&) {}
    // In every cycle once the samples are out and the local map is refreshed, before the
    // person count is printed.
    virtual void cycleReady(const SimulationRun&, const Configuration&) {}
    // At the end of activation (step 0) and of every cycle.
    virtual void observe(const SimulationRun&, const Configuration&) {}
    // At deactivation, after the cycle statistics summary.
    virtual void stopped(const SimulationRun&) {}
};

}  // namespace vostrel
