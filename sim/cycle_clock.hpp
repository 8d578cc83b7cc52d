#pragma once

#include <iosfwd>
#include <string>

#include "platform/clock.hpp"

namespace vostrel {

// The component's tick. By default the real clock; with the rtc.conf key
// `vostrel.clock: simulated` a clock that starts at 0 and advances by exactly one step at the
// start of every cycle (`vostrel.clock.step_ms`, default the execution context's period), so
// that a run ticked in lock step gives the same outputs however fast the machine is.
class CycleClock final : public Clock {
  public:
    // mode and stepMs are the keys' texts (empty when unset); rateHz the context's rate. A bad
    // value is reported on err, naming its key, and the default is used.
    CycleClock(const std::string& mode, const std::string& stepMs, double rateHz,
               std::ostream& err);

    Tick now() override { return simulated_ ? time_.now() : real_.now(); }
    // Called once at the top of every cycle.
    void startCycle() {
        if (simulated_) time_.advance(step_);
    }
    bool simulated() const { return simulated_; }
    Tick step() const { return step_; }

  private:
    bool simulated_ = false;
    Tick step_ = 1;
    SteadyClock real_;
    SimulatedClock time_{0};
};

}  // namespace vostrel
