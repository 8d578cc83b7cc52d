#pragma once

#include <vector>

#include "environment/segment.hpp"

namespace vostrel {

// The walls in file order with the environment's drawable extent 0..maxX by 0..maxY.
class Walls {
  public:
    void add(const Segment& wall);
    int count() const { return static_cast<int>(walls_.size()); }
    // Throws Error for an index outside 0..count()-1.
    Segment Wall(int index) const;
    const std::vector<Segment>& all() const { return walls_; }
    // True when no wall touches the segment (closed test).
    bool isClear(const Segment& s) const;
    double maxX() const { return maxX_; }
    double maxY() const { return maxY_; }

  private:
    double maxX_ = 0.0;
    double maxY_ = 0.0;
    std::vector<Segment> walls_;
};

}  // namespace vostrel
