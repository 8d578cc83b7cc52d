#pragma once

#include <cstdint>
#include <iosfwd>

#include "maps/grid_map.hpp"
#include "maps/map_records.hpp"
#include "environment/pose_2d.hpp"

namespace vostrel {

// The local map that moves and turns with the robot.

// Size and cell size of the local grid: localmap_width, localmap_height, localmap_scale.
struct LocalMapSettings {
    std::int32_t width = 200;
    std::int32_t height = 200;
    double scale = 0.05;
};

// The settings with every value that makes no sense (a size below 1, a grid over
// kMaxGridCells cells, a scale that is not a positive number) reported on console and
// replaced by its default.
LocalMapSettings checkedLocalMapSettings(std::int64_t width, std::int64_t height, double scale,
                                         std::ostream& console);

// Copies the local grid, already updated around robot, into the record: the grid's size and
// scale, origin (-scale*width/2, -scale*height/2, 0), 100/0 cells, the robot pose. The cell
// storage is reused from call to call; with copyCells false the record's cells are taken to
// be the grid's already (same grid, same revision) and are left as they are.
void refreshRelativeMap(RelativeMapData& record, const GridMap& local, TimeStamp tm,
                        const Pose2D& robot, bool copyCells = true);

FloatRelativeMapData toFloat(const RelativeMapData& record);

}  // namespace vostrel
