#pragma once

#include <cstdint>
#include <vector>

#include "environment/area_lookup.hpp"
#include "environment/uniform_grid.hpp"

namespace vostrel {

// indexAt() over a subarea list through a uniform grid: each cell holds, in list order, the
// subareas that can contain a point of it, so the first of them containing the point is the
// first in the whole list. A subarea can only claim points near its corners' box when it is
// well shaped (no sliver corner, centre clear of every side); any other one is kept in every
// cell. Points off the grid are looked up in the whole list. Most points need no test at all:
// they lie in a cell that lies well inside the first subarea holding any of it.
class AreaIndex {
  public:
    AreaIndex() = default;
    // Reads only the geometry; populations may change afterwards.
    explicit AreaIndex(const SubareaList& list);

    // indexAt(list, x, y), for the list (or a copy of it) the index was built from.
    int indexAt(const SubareaList& list, double x, double y) const;

  private:
    static constexpr std::size_t kNoIndex = static_cast<std::size_t>(-1);
    static constexpr std::int32_t kUndecided = -2;

    // For each cell of a second grid over the bounds: the answer for every point of the cell
    // when it is certain from the shapes alone, kUndecided otherwise.
    void settleCells(const SubareaList& list);

    std::vector<std::int32_t> settled_;
    double settledPerCell_ = 1.0;
    int settledColumns_ = 0;
    int settledRows_ = 0;

    std::size_t size_ = kNoIndex;       // of the list indexed
    Box bounds_;                        // of the grid; outside it the plain loop answers
    std::vector<std::uint32_t> items_;  // list position of each grid item
    UniformGrid grid_;
};

}  // namespace vostrel
