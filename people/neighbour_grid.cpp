#include "people/neighbour_grid.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace vostrel {

namespace {
// About the slowing range: the wider sight range then spans a few cells each way.
constexpr double kCellSize = 2.5;
constexpr int kMaxCellsPerAxis = 128;

bool finite(Vec2 p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}
}  // namespace

void NeighbourGrid::build() {
    everybody_.clear();
    columns_ = rows_ = 0;
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const Vec2 p = points_[i];
        if (!finite(p)) continue;
        if (everybody_.empty()) bounds_ = {p.x, p.y, p.x, p.y};
        bounds_ = {std::min(bounds_.minX, p.x), std::min(bounds_.minY, p.y),
                   std::max(bounds_.maxX, p.x), std::max(bounds_.maxY, p.y)};
        everybody_.push_back(static_cast<std::uint32_t>(i));
    }
    const double width = bounds_.maxX - bounds_.minX;
    const double height = bounds_.maxY - bounds_.minY;
    filed_.clear();
    if (everybody_.empty() || !std::isfinite(width) || !std::isfinite(height)) {
        // Finite positions too far apart for a grid: every query offers everybody.
        if (!everybody_.empty()) columns_ = rows_ = -1;
        return;
    }
    const double cellSize = std::max(kCellSize, std::max(width, height) / kMaxCellsPerAxis);
    perCell_ = 1.0 / cellSize;
    columns_ = std::min(kMaxCellsPerAxis, static_cast<int>(width / cellSize) + 1);
    rows_ = std::min(kMaxCellsPerAxis, static_cast<int>(height / cellSize) + 1);
    const auto cell = [&](Vec2 p) {
        return static_cast<std::size_t>(cellOf(p.y, bounds_.minY, rows_)) * columns_ +
               cellOf(p.x, bounds_.minX, columns_);
    };
    cellStart_.assign(static_cast<std::size_t>(columns_) * rows_ + 1, 0);
    for (const std::uint32_t i : everybody_) ++cellStart_[cell(points_[i]) + 1];
    for (std::size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
    filed_.resize(everybody_.size());
    std::vector<std::uint32_t>& fill = own_.found;  // free between queries
    fill.assign(cellStart_.begin(), cellStart_.end() - 1);
    for (const std::uint32_t i : everybody_) {
        const Vec2 p = points_[i];
        filed_[fill[cell(p)]++] = {p.x, p.y, i};
    }
}

std::span<const std::uint32_t> NeighbourGrid::within(const Box& q, Scratch& scratch) const {
    std::vector<std::uint32_t>& found = scratch.found;
    found.clear();
    if (columns_ == 0) return found;  // nobody finite
    if (columns_ < 0 || !q.finite()) return everybody_;
    if (q.maxX < bounds_.minX || q.minX > bounds_.maxX || q.maxY < bounds_.minY ||
        q.minY > bounds_.maxY)
        return found;
    const int x0 = cellOf(q.minX, bounds_.minX, columns_);
    const int x1 = cellOf(q.maxX, bounds_.minX, columns_);
    const int y0 = cellOf(q.minY, bounds_.minY, rows_);
    const int y1 = cellOf(q.maxY, bounds_.minY, rows_);
    // Reaching over much of the grid, the index saves nothing: offer everybody.
    if (3.0 * (x1 - x0 + 1) * (y1 - y0 + 1) >= static_cast<double>(columns_) * rows_)
        return everybody_;
    std::vector<std::uint64_t>& marks = scratch.marks;
    // Every word is left at zero after use; only a set of another size needs new ones.
    if (marks.size() != (points_.size() + 63) / 64) marks.assign((points_.size() + 63) / 64, 0);
    std::size_t lowest = marks.size(), highest = 0;
    for (int y = y0; y <= y1; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * columns_;
        for (std::uint32_t e = cellStart_[row + x0]; e < cellStart_[row + x1 + 1]; ++e) {
            const Filed& f = filed_[e];
            if (f.x < q.minX || f.x > q.maxX || f.y < q.minY || f.y > q.maxY) continue;
            const std::size_t w = f.index / 64;
            marks[w] |= std::uint64_t{1} << (f.index % 64);
            lowest = std::min(lowest, w);
            highest = std::max(highest, w);
        }
    }
    for (std::size_t w = lowest; w <= highest && w < marks.size(); ++w) {
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
