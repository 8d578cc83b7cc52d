#include "sim/cycle_clock.hpp"

#include <cmath>
#include <ostream>

namespace vostrel {

CycleClock::CycleClock(const std::string& mode, const std::string& stepMs, double rateHz,
                       std::ostream& err) {
    if (mode == "simulated") {
        simulated_ = true;
    } else if (!mode.empty() && mode != "real") {
        err << "vostrel.clock: \"" << mode
            << "\" is neither real nor simulated; using the real "
               "clock\n";
    }
    const double period = rateHz > 0 && std::isfinite(rateHz) ? 1000.0 / rateHz : 1.0;
    step_ = static_cast<Tick>(std::max(1.0, std::min(std::round(period), 4.0e9)));
    if (stepMs.empty()) return;
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(stepMs, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != stepMs.size() || value == 0 || value > 4000000000ul || stepMs[0] == '-') {
        err << "vostrel.clock.step_ms: \"" << stepMs << "\" is not a whole number of milliseconds "
            << "from 1; using " << step_ << "\n";
        return;
    }
    step_ = static_cast<Tick>(value);
}

}  // namespace vostrel
