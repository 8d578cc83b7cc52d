#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vostrel {

// One scan as the range data port carries it, field for field in wire order, so the port
// writer only copies. The time stamp is the cycle's and is added by the writer.
struct RangeData {
    float startPosition = 0.0f;           // angle of the first ray, degrees (90 = straight ahead)
    float endPosition = 0.0f;             // end of the angular range, degrees, never sampled
    std::int32_t scanInterval = 0;        // scan period; not modelled, always 0
    std::int32_t dataGroupingNumber = 1;  // rays merged per value; always 1
    std::vector<std::int32_t> distance;   // one range per ray [mm], or the far code
    float dataInterval = 0.0f;            // angular step between rays, degrees
    std::string sensorState = "NORMAL";
};

}  // namespace vostrel
