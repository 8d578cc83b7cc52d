#include "app/run_recorder.hpp"

#include <iostream>

#include "app/metrics_report.hpp"
#include "app/output_json.hpp"

namespace vostrel {

std::vector<std::int32_t> personIds(const SimulationRun& run) {
    std::vector<std::int32_t> ids;
    if (const Crowd* crowd = run.crowd()) {
        ids.reserve(crowd->persons().size());
        for (const Person& p : crowd->persons()) ids.push_back(p.id);
    }
    return ids;
}

void RunRecorder::cycle(const SimulationRun& run) {
    if (!outputPath_.empty()) {
        if (!output_.is_open()) {
            output_.open(outputPath_);
            if (!output_) std::cerr << "vostrel.output: cannot write " << outputPath_ << "\n";
        }
        output_ << toJson(run.outputs()).dump() << '\n';
    }
    if (!metricsPath_.empty()) {
        if (!metrics_) metrics_.emplace(run.environment().walls.all());
        metrics_->addCycle(run.outputs(), personIds(run));
    }
}

void RunRecorder::finish() {
    // The reader looks at the files once the run has ended: everything must be there.
    if (output_.is_open()) output_.flush();
    if (metricsPath_.empty()) return;
    const RunMetrics::Summary summary = metrics_ ? metrics_->summary() : RunMetrics::Summary{};
    metrics_.reset();
    std::ofstream out(metricsPath_);
    out << toJson(summary).dump(2) << '\n';
    if (!out) std::cerr << "vostrel.metrics: cannot write " << metricsPath_ << "\n";
}

}  // namespace vostrel
