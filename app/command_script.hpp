#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <string>

#include "robot/velocity_command.hpp"

namespace vostrel {

// Velocity commands to deliver at given cycles: lines `CYCLE VX VA` (m/s, rad/s), '#' comments.
using CommandScript = std::map<int, VelocityCommand>;

// Reads a command file; on a bad line says which (file and line) on err and returns nullopt.
std::optional<CommandScript> readCommandScript(const std::string& path, std::ostream& err);

}  // namespace vostrel
