#pragma once

#include "environment/action_table.hpp"
#include "environment/area_lookup.hpp"
#include "environment/environment.hpp"

namespace vostrel {

// Everything a run reads and never changes: the loaded environment, its action table and the
// spatial network. Built once per activation and shared by const reference; what changes
// during a run lives in the run state.
struct World {
    Environment environment;
    ActionTable actions;
    SubareaList subareas;  // geometry and links; the counts of persons are run state
};

}  // namespace vostrel
