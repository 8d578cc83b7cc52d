#pragma once

#include <cstdint>

#include "environment/pose_2d.hpp"
#include "maps/grid_map.hpp"
#include "maps/map_records.hpp"

namespace vostrel {

// The local map that moves and turns with the robot.

// Copies the local grid, already updated around robot, into the record: the grid's size and
// scale, origin (-scale*width/2, -scale*height/2, 0), 100/0 cells, the robot pose. The cell
// storage is reused from call to call; with copyCells false the record's cells are taken to
// be the grid's already (same grid, same revision) and are left as they are.
void refreshRelativeMap(RelativeMapData& record, const GridMap& local, TimeStamp tm,
                        const Pose2D& robot, bool copyCells = true);

FloatRelativeMapData toFloat(const RelativeMapData& record);

}  // namespace vostrel
