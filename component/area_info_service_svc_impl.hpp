#pragma once

#include "OrvoGlobalPlanning.hh"
#include "sim/simulation_run.hpp"

// The subareas of the spatial network with their links and the populations the crowd counted,
// read under the crowd's lock so that an answer never mixes two steps.
class AreaInfoServiceSVC_impl : public virtual POA_ZYK::AreaInfoService {
  public:
    AreaInfoServiceSVC_impl(const vostrel::SimulationRun& run, vostrel::Clock& clock)
        : run_(run), clock_(clock) {}

    ZYK::TimedAreaInfo* getAreaInfo() override;

  private:
    const vostrel::SimulationRun& run_;
    vostrel::Clock& clock_;
};
