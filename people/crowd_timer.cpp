#include "people/crowd_timer.hpp"

namespace vostrel {

double CrowdTimer::elapsed(Tick now) {
    if (!started_) {
        previous_ = now - 100u;
        started_ = true;
    }
    if (static_cast<Tick>(now - previous_) > 1000u) previous_ = now - 1000u;
    const double t = static_cast<double>(static_cast<Tick>(now - previous_)) * 0.001;
    previous_ = now;
    return t;
}

}  // namespace vostrel
