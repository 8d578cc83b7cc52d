#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "environment/uniform_grid.hpp"
#include "environment/vec2.hpp"

namespace vostrel {

// The positions of one step filed in a uniform grid, so that a person's neighbours are found
// without measuring the distance to everybody. Each position sits in one cell, stored there with
// its coordinates, so a query reads the cells it covers front to back.
class NeighbourGrid {
  public:
    // Starts a new set of positions; buffers keep their storage.
    void clear() { points_.clear(); }
    void add(Vec2 p) { points_.push_back(p); }
    // Files the positions added since clear().
    void build();
    std::size_t size() const { return points_.size(); }

    // Positions (as indices in the order added, ascending) that may lie within reach of p: all
    // that do and a few that do not. Positions that are not finite never come; a point that is
    // not finite gets every finite position. Valid until the next call.
    std::span<const std::uint32_t> near(Vec2 p, double reach) { return near(p, reach, own_); }

    // The buffers of one query at a time: one per thread lets threads query at once.
    struct Scratch {
        std::vector<std::uint64_t> marks;  // one bit per position, to hand them out in order
        std::vector<std::uint32_t> found;
    };
    // As above, with the buffers of scratch; valid until scratch's next use.
    std::span<const std::uint32_t> near(Vec2 p, double reach, Scratch& scratch) const {
        return within({p.x - reach, p.y - reach, p.x + reach, p.y + reach}, scratch);
    }
    // The positions that lie in the box q (edges included), or a few more.
    std::span<const std::uint32_t> within(const Box& q, Scratch& scratch) const;

  private:
    struct Filed {
        double x;
        double y;
        std::uint32_t index;
    };

    // The cell of a coordinate along one axis: monotone, so a point inside a box lies in a cell
    // between the cells of the box's corners.
    int cellOf(double v, double origin, int count) const {
        const double c = (v - origin) * perCell_;
        if (!(c > 0.0)) return 0;
        if (c >= static_cast<double>(count - 1)) return count - 1;
        return static_cast<int>(c);
    }

    std::vector<Vec2> points_;
    Box bounds_;  // of the finite positions
    double perCell_ = 1.0;
    int columns_ = 0;  // 0: no finite position
    int rows_ = 0;
    std::vector<std::uint32_t> cellStart_;  // of each cell in filed_; one more than cells
    std::vector<Filed> filed_;              // by cell, ascending index within a cell
    std::vector<std::uint32_t> everybody_;  // every finite position, in order
    Scratch own_;
};

}  // namespace vostrel
