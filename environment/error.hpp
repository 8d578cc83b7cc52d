#pragma once

#include <stdexcept>
#include <string>

namespace vostrel {

// The one exception type of the simulation core; what() is the exact text the system prints.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace vostrel
