#pragma once

#include <iosfwd>
#include <string>

#include "component/configuration.hpp"

namespace vostrel {

// Reads a component configuration file of the framework's form: one `key: value` (or
// `key = value`) per line, '#' comments, keys `conf.default.<parameter>` (the set a plain
// component starts with) or `conf.<set>.<parameter>` of another set, which is skipped. Errors
// name the file and line; the first bad line makes the whole read fail (nothing half-applied
// is left in `config`).
bool readConfigFile(const std::string& path, Configuration& config, std::ostream& err);

}  // namespace vostrel
