#pragma once

#include <fstream>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "sim/run_metrics.hpp"
#include "sim/simulation_run.hpp"

namespace vostrel {

// Records a run of the component process for a batch driver: every cycle's five samples as
// JSON lines (the format of vostrel-sim's --output) and, when the run ends, its metrics as one
// JSON object. Either file may be left out.
class RunRecorder {
  public:
    RunRecorder(std::string outputPath, std::string metricsPath)
        : outputPath_(std::move(outputPath)), metricsPath_(std::move(metricsPath)) {}

    // After every completed cycle.
    void cycle(const SimulationRun& run);
    // At deactivation, while the run's environment is still there.
    void finish();

  private:
    std::string outputPath_;
    std::string metricsPath_;
    std::ofstream output_;
    std::optional<RunMetrics> metrics_;
};

// The ids of the run's persons in the order of its outputs.
std::vector<std::int32_t> personIds(const SimulationRun& run);

}  // namespace vostrel
