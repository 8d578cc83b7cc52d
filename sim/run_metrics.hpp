#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "environment/segment.hpp"
#include "sim/cycle_outputs.hpp"

namespace vostrel {

// What a run did, summed up from its cycle outputs: how far the robot went, how well it kept
// to the followed person, how close it came to people and walls, and how many people came and
// went. Fed once per cycle, after the cycle's outputs are complete.
class RunMetrics {
  public:
    static constexpr double kRobotRadius = 0.225;  // m, the disc the display draws
    static constexpr double kPersonalSpace = 0.5;  // m, centre to centre
    static constexpr double kFollowNear = 0.5;     // m, the band a follower should keep
    static constexpr double kFollowFar = 3.0;      // m

    struct Summary {
        std::int64_t cycles = 0;
        double pathLength = 0.0;  // m
        // The followed person (peopledata's id): cycles present, median and minimum distance
        // over those, cycles at kFollowNear..kFollowFar.
        std::int64_t followCycles = 0;
        std::optional<double> followMedian;
        std::optional<double> followMinimum;
        std::int64_t followWithinBand = 0;
        // Any person: the closest centre distance, cycles with one within kPersonalSpace.
        std::optional<double> closestApproach;
        std::int64_t intrusionCycles = 0;
        std::int64_t wallOverlapCycles = 0;  // the robot's disc reaches over a wall
        std::int64_t personsAtStart = 0;     // inside in the first cycle
        std::int64_t personsEntered = 0;     // came in after the first cycle
        std::int64_t personsLeft = 0;
        std::int64_t personsAtEnd = 0;
    };

    explicit RunMetrics(std::vector<Segment> walls) : walls_(std::move(walls)) {}

    // ids: the crowd's person ids in the order of the outputs' person lists.
    void addCycle(const CycleOutputs& outputs, std::span<const std::int32_t> ids);
    Summary summary() const;

  private:
    std::vector<Segment> walls_;
    Summary sum_;
    std::optional<Vec2> lastPosition_;
    std::vector<double> followDistances_;
    std::unordered_set<std::int32_t> inside_;
    std::unordered_set<std::int32_t> seen_;
};

}  // namespace vostrel
