#pragma once

#include <span>
#include <vector>

#include "environment/segment.hpp"
#include "environment/uniform_grid.hpp"

namespace vostrel {

// A fixed list of walls filed in a uniform grid, for the questions asked many times per step:
// is a line free of walls, and which walls come near a point. Every wall is filed under its
// bounding box widened by kSlack, far more than rounding can move any of the exact tests, so
// the grid only ever skips walls those tests would reject.
class WallGrid {
  public:
    static constexpr double kSlack = 1e-3;

    WallGrid() = default;
    // Keeps a copy of the walls.
    explicit WallGrid(std::span<const Segment> walls);

    // The same answer as Walls::isClear over the same walls.
    bool isClear(const Segment& s) const;

    // Calls visit(index) once for each wall that may come within reach of p: every wall that
    // does, and some that do not. Not in wall order. A point that is not finite visits all.
    template <class Visit>
    void forEachNear(Vec2 p, double reach, Visit&& visit) const {
        const Box q{p.x - reach, p.y - reach, p.x + reach, p.y + reach};
        if (!q.finite()) {
            for (std::size_t i = 0; i < walls_.size(); ++i) visit(i);
            return;
        }
        grid_.query(q, [&](std::uint32_t i) { visit(std::size_t{i}); });
    }

    std::span<const Segment> walls() const { return walls_; }

  private:
    std::vector<Segment> walls_;
    std::vector<Box> boxes_;  // widened by kSlack
    std::vector<double> lengths_;
    std::vector<double> sizes_;  // largest absolute coordinate of each wall
    UniformGrid grid_;
};

}  // namespace vostrel
