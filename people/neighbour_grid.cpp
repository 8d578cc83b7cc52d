#include "people/neighbour_grid.hpp"

#include <bit>

namespace vostrel {

namespace {
// About the slowing range: the wider sight range then spans a few cells each way.
constexpr double kCellSize = 2.5;
constexpr int kMaxCellsPerAxis = 128;
}  // namespace

void NeighbourGrid::build() {
    grid_.build(boxes_, kCellSize, kMaxCellsPerAxis);
    everybody_.clear();
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i].finite()) everybody_.push_back(static_cast<std::uint32_t>(i));
}

std::span<const std::uint32_t> NeighbourGrid::within(const Box& q, Scratch& scratch) const {
    std::vector<std::uint64_t>& marks = scratch.marks;
    std::vector<std::uint32_t>& found = scratch.found;
    found.clear();
    // Reaching over much of the grid, the index saves nothing: offer everybody.
    if (!q.finite() || grid_.coversMuch(q)) return everybody_;
    // Every word is left at zero after use; only a set of another size needs new ones.
    if (marks.size() != (boxes_.size() + 63) / 64) marks.assign((boxes_.size() + 63) / 64, 0);
    grid_.query(q, [&](std::uint32_t i) {
        // Positions that are not finite are reported everywhere; they are nobody's neighbour.
        if (boxes_[i].overlaps(q)) marks[i / 64] |= std::uint64_t{1} << (i % 64);
    });
    for (std::size_t w = 0; w < marks.size(); ++w) {
        std::uint64_t bits = marks[w];
        marks[w] = 0;
        while (bits != 0) {
            found.push_back(static_cast<std::uint32_t>(w * 64 + std::countr_zero(bits)));
            bits &= bits - 1;
        }
    }
    return found;
}

}  // namespace vostrel
