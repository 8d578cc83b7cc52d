#include "display/agent_trails.hpp"

#include <iterator>

namespace vostrel {

void AgentTrails::extend(Track& track, double t, Vec2 p) const {
    track.times.push_back(t);
    track.points.push_back(p);
    while (!track.times.empty() && track.times.front() < t - seconds_) {
        track.times.pop_front();
        track.points.pop_front();
    }
}

void AgentTrails::record(double t, Vec2 robot, std::span<const PersonPosition> persons) {
    if (seconds_ <= 0.0) return;
    extend(robot_, t, robot);
    for (auto& [id, track] : persons_) track.seen = false;
    for (const PersonPosition& p : persons) {
        Track& track = persons_[p.id];
        extend(track, t, p.position);
        track.seen = true;
    }
    for (auto it = persons_.begin(); it != persons_.end();)
        it = it->second.seen ? std::next(it) : persons_.erase(it);
}

const std::deque<Vec2>& AgentTrails::person(int id) const {
    static const std::deque<Vec2> kNone;
    const auto it = persons_.find(id);
    return it == persons_.end() ? kNone : it->second.points;
}

}  // namespace vostrel
