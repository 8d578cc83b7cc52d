#pragma once

#include <cstdint>

namespace vostrel {

// Milliseconds on a clock that starts at an arbitrary point and wraps at 2^32; every
// difference of two readings is taken in unsigned 32-bit arithmetic.
using Tick = std::uint32_t;

class Clock {
  public:
    virtual ~Clock() = default;
    virtual Tick now() = 0;
};

// The monotonic system clock in milliseconds, truncated to 32 bits.
class SteadyClock final : public Clock {
  public:
    Tick now() override;
};

// A clock that only moves when told to; for tests and the batch runner.
class SimulatedClock final : public Clock {
  public:
    explicit SimulatedClock(Tick start = 0) : now_(start) {}
    Tick now() override { return now_; }
    void advance(Tick ms) { now_ += ms; }
    void set(Tick t) { now_ = t; }

  private:
    Tick now_;
};

}  // namespace vostrel
