#pragma once

#include <vector>

#include "environment/uniform_grid.hpp"

namespace vostrel {

// Items filed by box into the cells of a fixed uniform grid, while the item list grows. Unlike
// UniformGrid, which is built once, items may be added (or filed again under a new box) at any
// time. Places outside the grid's bounds fall into its border cells, so every box still has
// cells and two overlapping boxes always share one.
class GrowingGrid {
  public:
    GrowingGrid() = default;
    // Cells of about cellSize over bounds, widened when more than maxCellsPerAxis would be needed.
    GrowingGrid(const Box& bounds, double cellSize, int maxCellsPerAxis);

    // Files item under every cell the box touches; a box that is not finite is reported by
    // every query.
    void insert(int item, const Box& box);
    // Replaces out by every item filed in a cell the (finite) box touches, ascending and without
    // repeats: every item whose box overlaps the query, and a few near it.
    void collect(const Box& query, std::vector<int>& out) const;

  private:
    int column(double x) const;
    int row(double y) const;

    Box bounds_;
    double perCell_ = 1.0;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<std::vector<int>> cells_;
    std::vector<int> everywhere_;
};

}  // namespace vostrel
