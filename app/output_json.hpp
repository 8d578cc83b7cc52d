#pragma once

#include <nlohmann/json.hpp>

#include "sim/cycle_outputs.hpp"

namespace vostrel {

// One cycle's five port samples, each named like its port and with the wire type's field names.
nlohmann::json toJson(const CycleOutputs& outputs);

}  // namespace vostrel
