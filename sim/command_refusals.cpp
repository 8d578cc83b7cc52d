#include "sim/command_refusals.hpp"

#include <ostream>

namespace vostrel {

void CommandRefusals::refuse(const VelocityCommand& command, std::string_view source,
                             std::uint32_t nowMs, std::ostream& console) {
    ++total_;
    auto it = sources_.find(source);
    if (it == sources_.end()) it = sources_.emplace(std::string(source), ReportThrottle{}).first;
    ReportThrottle& throttle = it->second;
    if (!throttle.note(nowMs)) return;
    const std::uint64_t recent = throttle.takeSinceReport();
    console << "Refused " << recent << (recent == 1 ? " velocity command" : " velocity commands")
            << " from " << (source.empty() ? std::string_view("the command port") : source) << " ("
            << throttle.total() << " in all): vx " << command.vx << ", vy " << command.vy << ", va "
            << command.va
            << " would not give finite wheel speeds; the previous command stays in force.\n";
}

}  // namespace vostrel
