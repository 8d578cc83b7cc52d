#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/run_metrics.hpp"

namespace vostrel {

// The metrics of a run as one JSON object (distances in metres, null where nothing was seen).
nlohmann::json toJson(const RunMetrics::Summary& summary);
// The same as a few lines for the console.
void printMetrics(std::ostream& out, const RunMetrics::Summary& summary);

}  // namespace vostrel

namespace vostrel {

// Prints the metrics on out and writes them to path; false (with a message on err) when the
// file cannot be written.
bool reportMetrics(const RunMetrics::Summary& summary, const std::string& path, std::ostream& out,
                   std::ostream& err);

}  // namespace vostrel

namespace vostrel {

// Reads back what toJson wrote; keys that are missing keep their defaults.
RunMetrics::Summary summaryFromJson(const nlohmann::json& json);

}  // namespace vostrel
