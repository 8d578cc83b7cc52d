#pragma once

#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

#include "environment/vec2.hpp"

namespace vostrel {

// Where the robot and every person have been during the last few seconds, for drawing their
// tracks. Persons are keyed by id, so a track stays with its person when the list order
// changes; a person missing from a cycle has left and loses its track.
class AgentTrails {
  public:
    // Tracks keep the positions of the last `seconds`; 0 or less keeps none.
    explicit AgentTrails(double seconds) : seconds_(seconds > 0.0 ? seconds : 0.0) {}

    struct PersonPosition {
        int id;
        Vec2 position;
    };

    // Adds the positions of one cycle at time t (s, not decreasing) and drops older ones.
    void record(double t, Vec2 robot, std::span<const PersonPosition> persons);

    // Oldest first; empty when unknown or off.
    const std::deque<Vec2>& robot() const { return robot_.points; }
    const std::deque<Vec2>& person(int id) const;
    std::size_t personCount() const { return persons_.size(); }

  private:
    struct Track {
        std::deque<double> times;
        std::deque<Vec2> points;
        bool seen = false;
    };
    void extend(Track& track, double t, Vec2 p) const;

    double seconds_;
    Track robot_;
    std::unordered_map<int, Track> persons_;
};

}  // namespace vostrel
