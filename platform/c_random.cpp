#include "platform/c_random.hpp"

#include <ctime>

namespace vostrel {

std::uint32_t calendarSeed() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace vostrel
