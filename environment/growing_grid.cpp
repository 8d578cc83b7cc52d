#include "environment/growing_grid.hpp"

#include <algorithm>
#include <cmath>

namespace vostrel {

namespace {

// Monotone in v, clamped to the grid: overlapping boxes keep sharing a cell.
int cellOf(double v, double origin, double perCell, int count) {
    const double c = (v - origin) * perCell;
    if (!(c > 0.0)) return 0;
    if (c >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<int>(c);
}

}  // namespace

GrowingGrid::GrowingGrid(const Box& bounds, double cellSize, int maxCellsPerAxis)
    : bounds_(bounds) {
    const double width = bounds.maxX - bounds.minX;
    const double height = bounds.maxY - bounds.minY;
    if (!bounds.finite() || !(width >= 0.0) || !(height >= 0.0)) return;
    const int most = std::max(maxCellsPerAxis, 1);
    double size = std::max(cellSize, std::max(width, height) / most);
    if (!(size > 0.0)) size = 1.0;
    perCell_ = 1.0 / size;
    columns_ = std::min(most, static_cast<int>(width / size) + 1);
    rows_ = std::min(most, static_cast<int>(height / size) + 1);
    cells_.resize(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_));
}

int GrowingGrid::column(double x) const {
    return cellOf(x, bounds_.minX, perCell_, columns_);
}
int GrowingGrid::row(double y) const {
    return cellOf(y, bounds_.minY, perCell_, rows_);
}

void GrowingGrid::insert(int item, const Box& box) {
    if (columns_ == 0 || !box.finite()) {
        everywhere_.push_back(item);
        return;
    }
    for (int y = row(box.minY); y <= row(box.maxY); ++y)
        for (int x = column(box.minX); x <= column(box.maxX); ++x)
            cells_[static_cast<std::size_t>(y) * columns_ + x].push_back(item);
}

void GrowingGrid::collect(const Box& query, std::vector<int>& out) const {
    out.assign(everywhere_.begin(), everywhere_.end());
    if (columns_ > 0) {
        for (int y = row(query.minY); y <= row(query.maxY); ++y)
            for (int x = column(query.minX); x <= column(query.maxX); ++x) {
                const std::vector<int>& cell = cells_[static_cast<std::size_t>(y) * columns_ + x];
                out.insert(out.end(), cell.begin(), cell.end());
            }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace vostrel
