#pragma once

#include <iosfwd>
#include <string>

#include "sim/configuration.hpp"

namespace vostrel {

// Reads a component configuration file of the framework's form: one `key: value` (or
// `key = value`) per line, '#' comments (also after a value, following white space), keys
// `conf.default.<parameter>` (the set a plain component starts with), `conf.<set>.<parameter>`
// of another set and the runtime's own keys (exec_cxt.*, port.*, ...), which are skipped.
// Errors name the file and line: every unknown key is named, a bad value ends the read; either
// makes the whole read fail (nothing half-applied is left in `config`).
bool readConfigFile(const std::string& path, Configuration& config, std::ostream& err);

}  // namespace vostrel
