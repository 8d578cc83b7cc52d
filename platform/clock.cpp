#include "platform/clock.hpp"

#include <chrono>

namespace vostrel {

Tick SteadyClock::now() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<Tick>(static_cast<std::uint64_t>(ms.count()));
}

}  // namespace vostrel
