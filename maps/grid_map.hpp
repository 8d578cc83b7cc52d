#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "environment/pose_2d.hpp"
#include "environment/segment.hpp"
#include "environment/vec2.hpp"

namespace vostrel {

// A byte occupancy grid of the walls, centred on a pose and turned with its heading. Row index
// grows with the grid frame's y, column index with its x; a point (x, y) of the grid frame lies
// in column trunc((floor(width/2)*scale + x) / scale) and the matching row, so the pose sits at
// the lower-left corner of the middle cell.
class GridMap {
  public:
    static constexpr std::uint8_t kOccupied = 1;
    static constexpr std::uint8_t kFree = 0;

    // height rows of width free cells of scale metres. Negative sizes count as 0; the caller
    // keeps sizes and scale sane (see LocalMapSettings).
    GridMap(std::int32_t width, std::int32_t height, double scale);

    // Clears the grid, moves every wall into the frame of pose and rasterises it. The segment
    // list and the cells keep their storage, so a refresh does not allocate. Walls and pose
    // bit-identical to the last update's leave the grid as it is: it would come out the same.
    void update(std::span<const Segment> walls, const Pose2D& pose);
    // Occupies the cell under a grid-frame point; points off the grid are ignored.
    void markCell(Vec2 p);
    // Marks samples every half cell from the start, 2*trunc(length/scale) of them; the end
    // itself is never sampled and a wall shorter than a cell marks nothing.
    void rasteriseSegment(const Segment& s);

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    double scale() const { return scale_; }
    // kOccupied or kFree.
    std::uint8_t cell(std::int32_t row, std::int32_t column) const {
        return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
                      static_cast<std::size_t>(column)];
    }
    // Row-major, row 0 first.
    std::span<const std::uint8_t> cells() const { return cells_; }
    // Changes whenever the cells may have changed; equal revisions of one grid mean equal cells.
    std::uint64_t revision() const { return revision_; }
    // The walls of the last update in the grid's frame.
    std::span<const Segment> segments() const { return segments_; }

  private:
    std::int32_t width_;
    std::int32_t height_;
    double scale_;
    double halfWidth_;  // floor(width/2) * scale
    double halfHeight_;
    std::vector<Segment> segments_;
    std::vector<std::uint8_t> cells_;
    // What the cells were last drawn from; marking cells by hand forgets it.
    bool drawn_ = false;
    std::uint64_t revision_ = 0;
    Pose2D drawnPose_;
    std::vector<Segment> drawnWalls_;
};

}  // namespace vostrel
