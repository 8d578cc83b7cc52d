#include "sim/run_metrics.hpp"

#include <algorithm>
#include <cmath>

namespace vostrel {

namespace {

double distanceToSegment(Vec2 p, const Segment& s) {
    const double len2 = s.direction.dot(s.direction);
    const double t = len2 > 0 ? std::clamp((p - s.origin).dot(s.direction) / len2, 0.0, 1.0) : 0;
    return (s.origin + s.direction * t - p).length();
}

}  // namespace

void RunMetrics::addCycle(const CycleOutputs& o, std::span<const std::int32_t> ids) {
    const Vec2 robot{o.robotState.data.x, o.robotState.data.y};
    if (lastPosition_) sum_.pathLength += (robot - *lastPosition_).length();
    lastPosition_ = robot;

    const auto& tracked = o.peopleData.person;
    if (o.peopleData.id >= 0 && static_cast<std::size_t>(o.peopleData.id) < tracked.size()) {
        const TrackedPerson& p = tracked[static_cast<std::size_t>(o.peopleData.id)];
        const double d = std::hypot(p.x, p.y);
        followDistances_.push_back(d);
        if (d >= kFollowNear && d <= kFollowFar) ++sum_.followWithinBand;
    }

    bool intruded = false;
    for (const Vec2& p : o.persons.data) {
        const double d = (p - robot).length();
        if (!sum_.closestApproach || d < *sum_.closestApproach) sum_.closestApproach = d;
        intruded = intruded || d < kPersonalSpace;
    }
    if (intruded) ++sum_.intrusionCycles;
    for (const Segment& wall : walls_) {
        if (distanceToSegment(robot, wall) < kRobotRadius) {
            ++sum_.wallOverlapCycles;
            break;
        }
    }

    std::unordered_set<std::int32_t> now(ids.begin(), ids.end());
    if (sum_.cycles == 0) {
        sum_.personsAtStart = static_cast<std::int64_t>(now.size());
    } else {
        for (std::int32_t id : now)
            if (!seen_.count(id)) ++sum_.personsEntered;
        for (std::int32_t id : inside_)
            if (!now.count(id)) ++sum_.personsLeft;
    }
    seen_.insert(now.begin(), now.end());
    inside_ = std::move(now);
    sum_.personsAtEnd = static_cast<std::int64_t>(inside_.size());
    ++sum_.cycles;
}

RunMetrics::Summary RunMetrics::summary() const {
    Summary s = sum_;
    s.followCycles = static_cast<std::int64_t>(followDistances_.size());
    if (!followDistances_.empty()) {
        std::vector<double> d = followDistances_;
        std::sort(d.begin(), d.end());
        const std::size_t n = d.size();
        s.followMedian = n % 2 == 1 ? d[n / 2] : (d[n / 2 - 1] + d[n / 2]) / 2.0;
        s.followMinimum = d.front();
    }
    return s;
}

}  // namespace vostrel
