#pragma once

#include <cstdint>

namespace vostrel {

struct SeatState {
    bool occupied = false;
    std::int32_t occupant = 0;  // kept after the seat is freed
};

}  // namespace vostrel
