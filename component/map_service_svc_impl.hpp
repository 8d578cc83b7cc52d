#pragma once

#include "MRFC.hh"
#include "sim/simulation_run.hpp"

// The two occupancy map services. Each answer is copied from the run's record under that
// record's lock and converted to the wire type after the lock is released.

class AbsoluteMapServiceSVC_impl : public virtual POA_MRFC::AbsoluteMapService {
  public:
    explicit AbsoluteMapServiceSVC_impl(const vostrel::SimulationRun& run) : run_(run) {}

    RTC::OGMapConfig getAbsoluteOGMapConfig() override;
    // A window of w x h cells; more than the map code's bound raises BAD_PARAM.
    MRFC::TimedAbsoluteOGMapData* getAbsoluteOGMap(CORBA::Double x, CORBA::Double y, CORBA::ULong w,
                                                   CORBA::ULong h) override;
    MRFC::TimedFloatAbsoluteOGMapData* getFloatAbsoluteOGMap(CORBA::Double x, CORBA::Double y,
                                                             CORBA::ULong w,
                                                             CORBA::ULong h) override;

  private:
    const vostrel::SimulationRun& run_;
};

class RelativeMapServiceSVC_impl : public virtual POA_MRFC::RelativeMapService {
  public:
    explicit RelativeMapServiceSVC_impl(const vostrel::SimulationRun& run) : run_(run) {}

    RTC::OGMapConfig getRelativeOGMapConfig() override;
    MRFC::TimedRelativeOGMapData* getRelativeOGMap() override;
    MRFC::TimedFloatRelativeOGMapData* getFloatRelativeOGMap() override;

  private:
    const vostrel::SimulationRun& run_;
};
