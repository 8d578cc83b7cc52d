#pragma once

#include "platform/clock.hpp"

namespace vostrel {

// Remembers the millisecond tick of the previous crowd advance. Its first use counts as
// 100 ms after an imagined previous call, so it must live as long as the process (one per
// component, kept across activations), not as long as one crowd: a fresh crowd after a
// re-activation then catches up on at most one second, as before.
class CrowdTimer {
  public:
    // Seconds of simulated time owed at tick now: 0.1 on the first call, never more than 1.
    // Differences are taken in unsigned 32-bit arithmetic, so the tick may wrap.
    double elapsed(Tick now);

    bool started() const { return started_; }

  private:
    bool started_ = false;
    Tick previous_ = 0;
};

// Cuts t seconds into sub-steps of at most 0.1 s by repeated subtraction, so the last one is
// whatever floating-point remainder is left (about 1.4e-16 s after a full second).
template <class StepFn>
void forEachSubStep(double t, StepFn&& step) {
    while (t > 0.0) {
        step(t < 0.1 ? t : 0.1);
        t -= 0.1;
    }
}

}  // namespace vostrel
