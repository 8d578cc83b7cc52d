#include "environment/wall_grid.hpp"

#include <algorithm>
#include <cmath>

namespace vostrel {

namespace {

// Cells of about this side: fine enough that open floor shows as empty cells.
constexpr double kCellSize = 1.0;
constexpr int kMaxCellsPerAxis = 256;
constexpr std::size_t kFewWalls = 32;

Box boxOf(const Segment& s, double slack) {
    const Vec2 a = s.origin;
    const Vec2 b = s.end();
    return {std::min(a.x, b.x) - slack, std::min(a.y, b.y) - slack, std::max(a.x, b.x) + slack,
            std::max(a.y, b.y) + slack};
}

double largestCoordinate(const Segment& s) {
    const Vec2 a = s.origin;
    const Vec2 b = s.end();
    return std::max({std::fabs(a.x), std::fabs(a.y), std::fabs(b.x), std::fabs(b.y)});
}

// True when both ends of one segment lie on the same side of the other's line, farther from it
// than margin: then the segments are apart, and so far from touching that the exact test,
// whatever its rounding, finds them apart too.
bool surelyApart(const Segment& w, double wLength, const Segment& s, double sLength,
                 double margin) {
    const double a = w.direction.cross(s.origin - w.origin);
    const double b = w.direction.cross(s.end() - w.origin);
    const double k = margin * wLength;
    if ((a > k && b > k) || (a < -k && b < -k)) return true;
    const double c = s.direction.cross(w.origin - s.origin);
    const double d = s.direction.cross(w.end() - s.origin);
    const double l = margin * sLength;
    return (c > l && d > l) || (c < -l && d < -l);
}

}  // namespace

WallGrid::WallGrid(std::span<const Segment> walls) : walls_(walls.begin(), walls.end()) {
    boxes_.reserve(walls_.size());
    for (const Segment& w : walls_) {
        boxes_.push_back(boxOf(w, kSlack));
        lengths_.push_back(w.length());
        sizes_.push_back(largestCoordinate(w));
    }
    grid_.build(boxes_, kCellSize, kMaxCellsPerAxis);
}

bool WallGrid::isClear(const Segment& s) const {
    const Box q = boxOf(s, 0.0);
    if (!q.finite())
        return std::none_of(walls_.begin(), walls_.end(),
                            [&](const Segment& w) { return w.intersects(s); });
    // Many sight lines cross open floor, where no wall's cell is.
    if (grid_.surelyEmpty(q)) return true;
    const double length = s.length();
    const double size = largestCoordinate(s);
    const auto blocks = [&](std::size_t i) {
        if (!boxes_[i].overlaps(q)) return false;
        // Rounding moves the exact test by far less than a micrometre per unit of coordinate.
        const double margin = 1e-6 * (1.0 + std::max(size, sizes_[i]));
        return !surelyApart(walls_[i], lengths_[i], s, length, margin) && walls_[i].intersects(s);
    };
    // A few walls are quicker to look at one by one than through the cells.
    if (walls_.size() <= kFewWalls) {
        for (std::size_t i = 0; i < walls_.size(); ++i)
            if (blocks(i)) return false;
        return true;
    }
    bool clear = true;
    grid_.query(q, [&](std::uint32_t i) {
        clear = !blocks(i);
        return clear;
    });
    return clear;
}

}  // namespace vostrel
