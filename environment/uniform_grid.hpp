#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

namespace vostrel {

// An axis-aligned box, closed on all sides.
struct Box {
    double minX = 0.0;
    double minY = 0.0;
    double maxX = 0.0;
    double maxY = 0.0;

    bool overlaps(const Box& o) const {
        return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY;
    }
    bool finite() const {
        return std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) &&
               std::isfinite(maxY);
    }
};

// Items (boxes) filed into the cells of a uniform grid, to find the few items near a place
// without looking at all of them. Cell coordinates come from one monotone function for items
// and queries alike, so two boxes that overlap always share a cell; an item with a box that is
// not finite is reported by every query.
class UniformGrid {
  public:
    // Files the boxes under their positions in the span. The grid covers the finite boxes with
    // cells of about cellSize, widened when more than maxCellsPerAxis cells would be needed.
    void build(std::span<const Box> boxes, double cellSize, int maxCellsPerAxis);

    // Calls visit(index) once for every item whose cells overlap the query box's cells: every
    // item whose box overlaps the query, and a few near it. The order is not the item order.
    // The query box must be finite. A visitor returning bool stops the query by returning false.
    template <class Visit>
    void query(const Box& q, Visit&& visit) const {
        const auto go = [&](std::uint32_t i) {
            if constexpr (std::is_same_v<decltype(visit(i)), bool>) {
                return visit(i);
            } else {
                visit(i);
                return true;
            }
        };
        for (std::uint32_t i : everywhere_)
            if (!go(i)) return;
        if (columns_ == 0 || q.maxX < bounds_.minX || q.minX > bounds_.maxX ||
            q.maxY < bounds_.minY || q.minY > bounds_.maxY)
            return;
        const int x0 = column(q.minX);
        const int x1 = column(q.maxX);
        const int y0 = row(q.minY);
        const int y1 = row(q.maxY);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const std::size_t c = static_cast<std::size_t>(y) * columns_ + x;
                for (std::uint32_t e = cellStart_[c]; e < cellStart_[c + 1]; ++e) {
                    const Entry& entry = entries_[e];
                    // Reported only in the first shared cell, so nobody comes twice.
                    if ((entry.column == x || x == x0) && (entry.row == y || y == y0) &&
                        !go(entry.item))
                        return;
                }
            }
        }
    }

    // True when no item can overlap the query box (finite): its cells hold nobody and no item
    // is everywhere. Constant time, from running sums of the cells' counts.
    bool surelyEmpty(const Box& q) const {
        if (!everywhere_.empty()) return false;
        if (columns_ == 0 || q.maxX < bounds_.minX || q.minX > bounds_.maxX ||
            q.maxY < bounds_.minY || q.minY > bounds_.maxY)
            return true;
        const std::size_t x0 = static_cast<std::size_t>(column(q.minX));
        const std::size_t x1 = static_cast<std::size_t>(column(q.maxX)) + 1;
        const std::size_t y0 = static_cast<std::size_t>(row(q.minY));
        const std::size_t y1 = static_cast<std::size_t>(row(q.maxY)) + 1;
        const std::size_t w = static_cast<std::size_t>(columns_) + 1;
        return sums_[y1 * w + x1] + sums_[y0 * w + x0] == sums_[y0 * w + x1] + sums_[y1 * w + x0];
    }

    // True when the query box's cells are a third of the grid or more.
    bool coversMuch(const Box& q) const {
        if (columns_ == 0) return false;
        const double x = column(q.maxX) - column(q.minX) + 1;
        const double y = row(q.maxY) - row(q.minY) + 1;
        return 3.0 * x * y >= static_cast<double>(columns_) * rows_;
    }

    std::size_t cellCount() const { return cellStart_.empty() ? 0 : cellStart_.size() - 1; }

  private:
    struct Entry {
        std::uint32_t item;
        std::int32_t column;  // first column and row of the item's box
        std::int32_t row;
    };

    int column(double x) const { return cellOf(x, bounds_.minX, columns_); }
    int row(double y) const { return cellOf(y, bounds_.minY, rows_); }
    int cellOf(double v, double origin, int count) const {
        // A product by a positive constant keeps the order of coordinates, as a quotient would;
        // above zero, truncation is the floor.
        const double c = (v - origin) * perCell_;
        if (!(c > 0.0)) return 0;
        if (c >= static_cast<double>(count - 1)) return count - 1;
        return static_cast<int>(c);
    }

    Box bounds_;
    double cellSize_ = 1.0;
    double perCell_ = 1.0;  // 1 / cellSize_
    int columns_ = 0;
    int rows_ = 0;
    std::vector<std::uint32_t> cellStart_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> everywhere_;
    std::vector<std::uint32_t> sums_;  // entries in cells [0, x) x [0, y), (columns+1) per row
    std::vector<std::uint32_t> fill_;  // scratch of build()
};

}  // namespace vostrel
