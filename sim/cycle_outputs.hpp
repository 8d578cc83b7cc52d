#pragma once

#include <cstdint>
#include <vector>

#include "environment/pose_2d.hpp"
#include "environment/vec2.hpp"
#include "maps/map_records.hpp"
#include "robot/range_data.hpp"

namespace vostrel {

// One cycle's five port samples as plain records, named and ordered like the wire types, so
// that the framework binding and the batch runner only copy.

struct Velocity {
    double vx = 0.0;
    double vy = 0.0;
    double va = 0.0;
};

struct RobotStateSample {  // robot_state
    TimeStamp tm;
    Pose2D data;
};

struct RobotVelocitySample {  // robot_velocity
    TimeStamp tm;
    Velocity data;
};

struct PersonsSample {  // persons: positions in the environment frame, crowd order
    TimeStamp tm;
    std::vector<Vec2> data;
};

struct TrackedPerson {
    double x = 0.0, y = 0.0, z = 0.0;  // position in the robot frame
    Velocity velocity;                 // velocity in the robot frame, va 0
};

struct PeopleDataSample {  // peopledata
    TimeStamp tm;
    std::int32_t id = -1;  // index in person of the followed person, -1 when absent
    std::vector<TrackedPerson> person;
};

struct RangeDataSample {  // rangedata
    TimeStamp tm;
    RangeData data;
};

struct CycleOutputs {
    RobotStateSample robotState;
    RobotVelocitySample robotVelocity;
    PersonsSample persons;
    PeopleDataSample peopleData;
    RangeDataSample rangeData;
};

// Seconds and nanoseconds of a millisecond tick.
constexpr TimeStamp stampOf(std::uint32_t ms) {
    return {ms / 1000u, (ms % 1000u) * 1000000u};
}

// A world point in the frame of a robot at pose: x along its heading, y to its left.
inline Vec2 toRobotFrame(const Pose2D& pose, Vec2 p, double c, double s) {
    const double dx = p.x - pose.x;
    const double dy = p.y - pose.y;
    return {dx * c + dy * s, -dx * s + dy * c};
}

}  // namespace vostrel
