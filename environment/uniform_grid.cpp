#include "environment/uniform_grid.hpp"

#include <algorithm>
#include <cmath>

namespace vostrel {

void UniformGrid::build(std::span<const Box> boxes, double cellSize, int maxCellsPerAxis) {
    everywhere_.clear();
    entries_.clear();
    columns_ = rows_ = 0;
    bool any = false;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const Box& b = boxes[i];
        if (!b.finite()) continue;
        if (!any) {
            bounds_ = b;
            any = true;
        }
        bounds_.minX = std::min(bounds_.minX, b.minX);
        bounds_.minY = std::min(bounds_.minY, b.minY);
        bounds_.maxX = std::max(bounds_.maxX, b.maxX);
        bounds_.maxY = std::max(bounds_.maxY, b.maxY);
    }
    const double width = bounds_.maxX - bounds_.minX;
    const double height = bounds_.maxY - bounds_.minY;
    if (any && std::isfinite(width) && std::isfinite(height)) {
        const int most = std::max(maxCellsPerAxis, 1);
        cellSize_ = std::max(cellSize, std::max(width, height) / most);
        if (!(cellSize_ > 0.0)) cellSize_ = 1.0;
        perCell_ = 1.0 / cellSize_;
        columns_ = std::min(most, static_cast<int>(width / cellSize_) + 1);
        rows_ = std::min(most, static_cast<int>(height / cellSize_) + 1);
    }
    const bool gridded = columns_ > 0;
    const std::size_t cells = gridded ? static_cast<std::size_t>(columns_) * rows_ : 0;
    cellStart_.assign(gridded ? cells + 1 : 0, 0);

    const auto forCells = [&](const Box& b, auto&& f) {
        const int x0 = column(b.minX), x1 = column(b.maxX);
        const int y0 = row(b.minY), y1 = row(b.maxY);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) f(static_cast<std::size_t>(y) * columns_ + x, x0, y0);
    };
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!gridded || !boxes[i].finite()) {
            everywhere_.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        forCells(boxes[i], [&](std::size_t c, int, int) { ++cellStart_[c + 1]; });
    }
    if (!gridded) return;
    const std::size_t w = static_cast<std::size_t>(columns_) + 1;
    sums_.assign(w * (static_cast<std::size_t>(rows_) + 1), 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(rows_); ++y)
        for (std::size_t x = 0; x < static_cast<std::size_t>(columns_); ++x)
            sums_[(y + 1) * w + x + 1] = sums_[y * w + x + 1] + sums_[(y + 1) * w + x] -
                                         sums_[y * w + x] + cellStart_[y * columns_ + x + 1];
    for (std::size_t c = 0; c < cells; ++c) cellStart_[c + 1] += cellStart_[c];
    entries_.resize(cellStart_[cells]);
    fill_.assign(cellStart_.begin(), cellStart_.end() - 1);
    // Items go into each cell in ascending order.
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].finite()) continue;
        forCells(boxes[i], [&](std::size_t c, int x0, int y0) {
            entries_[fill_[c]++] = Entry{static_cast<std::uint32_t>(i), x0, y0};
        });
    }
}

}  // namespace vostrel
