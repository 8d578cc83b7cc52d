#pragma once

#include <cstdint>
#include <vector>

#include "environment/pose_2d.hpp"

namespace vostrel {

// The occupancy map records the two map services hand out, mirroring the wire structures
// field for field and in wire order, so a servant only copies. Cells are row-major, width
// cells per row, row 0 first (smallest y of the map's frame).

// Served cell values. Float cells carry the byte value times 0.01, and -1 for unknown.
inline constexpr std::uint8_t kCellOccupied = 100;
inline constexpr std::uint8_t kCellFree = 0;
inline constexpr std::uint8_t kCellUnknown = 255;  // only outside the map, in sub-map answers
inline constexpr float kFloatCellUnknown = -1.0f;

struct TimeStamp {
    std::uint32_t sec = 0;
    std::uint32_t nsec = 0;
};

struct MapConfig {
    double xScale = 0.0;       // m per cell along x
    double yScale = 0.0;       // m per cell along y
    std::uint32_t width = 0;   // cells along x
    std::uint32_t height = 0;  // cells along y
    Pose2D origin;             // pose of the map's origin
};

struct AbsoluteMapData {
    TimeStamp tm;
    MapConfig mapconfig;
    std::vector<std::uint8_t> cells;
};

struct FloatAbsoluteMapData {
    TimeStamp tm;
    MapConfig mapconfig;
    std::vector<float> cells;
};

struct RelativeMapData {
    TimeStamp tm;
    MapConfig mapconfig;
    std::vector<std::uint8_t> cells;
    Pose2D pose;  // the robot's world pose the map is centred on
};

struct FloatRelativeMapData {
    TimeStamp tm;
    MapConfig mapconfig;
    std::vector<float> cells;
    Pose2D pose;
};

}  // namespace vostrel
