#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "environment/uniform_grid.hpp"
#include "environment/vec2.hpp"

namespace vostrel {

// The positions of one step filed in a uniform grid, so that a person's neighbours are found
// without measuring the distance to everybody.
class NeighbourGrid {
  public:
    // Starts a new set of positions; buffers keep their storage.
    void clear() { boxes_.clear(); }
    void add(Vec2 p) { boxes_.push_back({p.x, p.y, p.x, p.y}); }
    // Files the positions added since clear().
    void build();
    std::size_t size() const { return boxes_.size(); }

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
    // The same for the positions that may lie in the box q.
    std::span<const std::uint32_t> within(const Box& q, Scratch& scratch) const;

  private:
    std::vector<Box> boxes_;
    UniformGrid grid_;
    Scratch own_;
    std::vector<std::uint32_t> everybody_;  // every finite position, in order
};

}  // namespace vostrel
