#include "sim/layer_settings.hpp"

#include <cstdint>
#include <ostream>
#include <string>

#include "environment/pose_2d.hpp"
#include "maps/absolute_map.hpp"
#include "sim/setting_check.hpp"

namespace vostrel {

namespace {

constexpr const char* kAbsoluteMapTooLarge =
    "The environment is too large for an absolute map at the default globalmap_scale: "
    "the absolute map stays empty";

}  // namespace

RobotPlacement robotPlacement(const Configuration& c) {
    return {c.robot_init_x,       c.robot_init_y,       c.robot_init_heading,
            c.robot_move_error_x, c.robot_move_error_y, c.robot_move_error_heading};
}

DriveSettings driveSettings(const Configuration& config, std::ostream& console) {
    const DriveSettings fallback;
    DriveSettings s;
    s.tread = positiveOr("robot_tread", config.robot_tread, fallback.tread, console);
    s.acceleration =
        positiveOr("robot_acceleration", config.robot_acceleration, fallback.acceleration, console);
    s.deceleration =
        positiveOr("robot_deceleration", config.robot_deceleration, fallback.deceleration, console);
    return s;
}

RangeSensorSettings rangeSensorSettings(const Configuration& c) {
    RangeSensorSettings s;
    s.startAngle = c.range_start_position;
    s.endAngle = c.range_end_position;
    s.maxDistance = c.range_max_distance;
    s.farCode = c.range_far_code;
    s.rayCount = c.range_data_num;
    s.x = c.range_sensor_x;
    s.y = c.range_sensor_y;
    s.heading = c.range_sensor_heading * kRadiansPerDegree;
    s.noiseSigma = c.range_std_deviation;
    return s;
}

LocalMapSettings localMapSettings(const Configuration& config, std::ostream& console) {
    const LocalMapSettings fallback;
    LocalMapSettings s;
    s.width =
        countOr("localmap_width", config.localmap_width, fallback.width, kMaxGridCells, console);
    s.height =
        countOr("localmap_height", config.localmap_height, fallback.height, kMaxGridCells, console);
    if (std::int64_t{s.width} * s.height > kMaxGridCells) {
        reportRejected("localmap_width", std::to_string(s.width), std::to_string(fallback.width),
                       console);
        reportRejected("localmap_height", std::to_string(s.height), std::to_string(fallback.height),
                       console);
        s.width = fallback.width;
        s.height = fallback.height;
    }
    s.scale = positiveOr("localmap_scale", config.localmap_scale, fallback.scale, console);
    return s;
}

AbsoluteMapSettings absoluteMapSettings(const Configuration& config, const Walls& walls,
                                        std::ostream& console) {
    const AbsoluteMapSettings fallback;
    AbsoluteMapSettings s;
    s.scale = positiveOr("globalmap_scale", config.globalmap_scale, fallback.scale, console);
    if (!absoluteMapFits(walls, s.scale) && s.scale != fallback.scale) {
        reportRejected("globalmap_scale", valueText(s.scale), valueText(fallback.scale), console);
        s.scale = fallback.scale;
    }
    if (!absoluteMapFits(walls, s.scale)) console << kAbsoluteMapTooLarge << "\n";
    return s;
}

}  // namespace vostrel
