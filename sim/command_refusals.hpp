#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>

#include "platform/report_throttle.hpp"
#include "robot/velocity_command.hpp"

namespace vostrel {

// Velocity commands the robot refused, counted per source (a connector, a command file) and
// reported on one console line per source at most once a second, so that a peer sending
// garbage at a high rate can neither flood the console nor go unnoticed.
class CommandRefusals {
  public:
    // Counts a refused command from source at time nowMs and prints a line when one is due.
    void refuse(const VelocityCommand& command, std::string_view source, std::uint32_t nowMs,
                std::ostream& console);
    std::uint64_t total() const { return total_; }

  private:
    std::map<std::string, ReportThrottle, std::less<>> sources_;
    std::uint64_t total_ = 0;
};

}  // namespace vostrel
