#pragma once

#include <cstdint>

#include "environment/walls.hpp"
#include "maps/absolute_map_settings.hpp"
#include "maps/map_records.hpp"

namespace vostrel {

// The fixed map of the whole environment and the windows cut from it on request.

// Largest window a request may ask for, in cells; beyond it the answer alone would not fit
// comfortably in memory, and w*h of two 32-bit counts could reach 2^64.
inline constexpr std::uint64_t kMaxSubMapCells = std::uint64_t{64} * 1024 * 1024;
// Largest grid built from the configuration, in cells.
inline constexpr std::int64_t kMaxGridCells = std::int64_t{64} * 1024 * 1024;

// Whether the walls' extent at scale makes a grid of at most kMaxGridCells cells.
bool absoluteMapFits(const Walls& walls, double scale);

// Fills record with the walls rasterised at the settings' scale over 0..maxX by 0..maxY: width
// trunc(maxX/scale)+1, height likewise, origin (0, 0, 0), 100/0 cells. When the grid would not
// fit (see absoluteMapFits) the record is left empty but for its time stamp.
void buildAbsoluteMap(AbsoluteMapData& record, const Walls& walls,
                      const AbsoluteMapSettings& settings, TimeStamp tm);

// The window of w x h cells whose first cell is the one under (x, y) (cell indices truncated
// towards zero), with the map's time stamp and configuration except that the origin position
// becomes (x, y). Cells off the map are unknown; before the map was first built (scale 0)
// every cell is unknown. Throws Error when w*h exceeds kMaxSubMapCells.
AbsoluteMapData subMap(const AbsoluteMapData& map, double x, double y, std::uint32_t w,
                       std::uint32_t h);
FloatAbsoluteMapData floatSubMap(const AbsoluteMapData& map, double x, double y, std::uint32_t w,
                                 std::uint32_t h);

inline constexpr const char* kSubMapTooLarge = "Error: Requested map is too large.";

}  // namespace vostrel
