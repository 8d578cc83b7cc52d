#pragma once

#include <iosfwd>

#include "environment/walls.hpp"
#include "maps/absolute_map_settings.hpp"
#include "maps/local_map_settings.hpp"
#include "robot/drive_settings.hpp"
#include "robot/range_sensor_settings.hpp"
#include "robot/robot_placement.hpp"
#include "sim/configuration.hpp"

namespace vostrel {

// The configuration turned into the settings of the robot, sensor and map layers. The run
// makes each where it uses it, so a rejected value's console line keeps its place among the
// other activation messages. A value that makes no sense for its layer is reported on console,
// naming the key and the value, and the layer's default takes its place: a typo in a parameter
// never turns into a crash or a conversion of a huge double to int.

// Read every cycle; used as given.
RobotPlacement robotPlacement(const Configuration& config);

// robot_tread, robot_acceleration and robot_deceleration, each positive and finite.
DriveSettings driveSettings(const Configuration& config, std::ostream& console);

// The range_* keys but range_person_radius (read every cycle), used as given; activation warns
// about the odd ones (see warnAboutSettings). The heading turns from degrees into radians.
RangeSensorSettings rangeSensorSettings(const Configuration& config);

// localmap_width and localmap_height of at least 1 cell and at most kMaxGridCells together (both
// fall back when their product is too large), localmap_scale positive and finite.
LocalMapSettings localMapSettings(const Configuration& config, std::ostream& console);

// globalmap_scale positive and finite, and coarse enough for the walls' extent to make a grid of
// at most kMaxGridCells cells; when even the default is too fine, a line says that the map stays
// empty (see buildAbsoluteMap).
AbsoluteMapSettings absoluteMapSettings(const Configuration& config, const Walls& walls,
                                        std::ostream& console);

}  // namespace vostrel
