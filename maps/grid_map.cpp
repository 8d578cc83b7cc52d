#include "maps/grid_map.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vostrel {

namespace {

// Narrows [first, last] to the sample indices i whose coordinate origin + i*step can lie in
// the open interval (low, high). Empty when first > last afterwards.
void clip(double origin, double step, double low, double high, double& first, double& last) {
    if (step == 0.0) {
        if (!(origin > low && origin < high)) last = -1.0;
        return;
    }
    double a = (low - origin) / step;
    double b = (high - origin) / step;
    if (a > b) std::swap(a, b);
    first = std::max(first, std::floor(a));
    last = std::min(last, std::ceil(b));
}

template <class T>
bool sameBits(std::span<const T> a, std::span<const T> b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size_bytes()) == 0);
}

}  // namespace

GridMap::GridMap(std::int32_t width, std::int32_t height, double scale)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      scale_(scale),
      halfWidth_(static_cast<double>(width_ / 2) * scale),
      halfHeight_(static_cast<double>(height_ / 2) * scale),
      cells_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), kFree) {}

void GridMap::update(std::span<const Segment> walls, const Pose2D& pose) {
    // A robot standing still sees the same map cycle after cycle.
    if (drawn_ &&
        sameBits(std::span<const Pose2D>(&pose, 1), std::span<const Pose2D>(&drawnPose_, 1)) &&
        sameBits(walls, std::span<const Segment>(drawnWalls_)))
        return;
    ++revision_;
    drawnPose_ = pose;
    drawnWalls_.assign(walls.begin(), walls.end());
    std::fill(cells_.begin(), cells_.end(), kFree);
    segments_.clear();
    const double c = std::cos(pose.heading);
    const double s = std::sin(pose.heading);
    const auto toGrid = [&](Vec2 p) {
        const double dx = p.x - pose.x;
        const double dy = p.y - pose.y;
        return Vec2{dx * c + dy * s, -dx * s + dy * c};
    };
    for (const Segment& wall : walls)
        segments_.push_back(Segment::fromPoints(toGrid(wall.origin), toGrid(wall.end())));
    for (const Segment& segment : segments_) rasteriseSegment(segment);
    drawn_ = true;
}

void GridMap::markCell(Vec2 p) {
    drawn_ = false;
    ++revision_;
    // Truncation towards zero: points up to a cell below the lower edges still land in
    // column or row 0. The comparisons also reject NaN before any conversion to int.
    const double column = std::trunc((halfWidth_ + p.x) / scale_);
    const double row = std::trunc((halfHeight_ + p.y) / scale_);
    if (!(column >= 0.0 && column < width_ && row >= 0.0 && row < height_)) return;
    cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(column)] = kOccupied;
}

void GridMap::rasteriseSegment(const Segment& s) {
    const double length = s.direction.length();
    const Vec2 step = length == 0.0 ? Vec2{} : s.direction / length * (scale_ / 2.0);
    const double samples = 2.0 * std::trunc(length / scale_);
    if (!(samples >= 1.0)) return;

    // Visit only the samples that can reach the grid: a long wall crossing a small local map
    // then costs what its visible part costs, and an absurdly long one cannot stall the cycle.
    // The window is widened by a cell beyond each edge so rounding never drops a sample.
    double first = 0.0;
    double last = samples - 1.0;
    clip(s.origin.x, step.x, -halfWidth_ - 2.0 * scale_, width_ * scale_ - halfWidth_ + scale_,
         first, last);
    clip(s.origin.y, step.y, -halfHeight_ - 2.0 * scale_, height_ * scale_ - halfHeight_ + scale_,
         first, last);
    first = std::max(first, 0.0);
    last = std::min(last, samples - 1.0);
    if (!(first <= last)) return;

    // Samples follow each other by repeated addition; a clipped start is placed directly.
    Vec2 p = first == 0.0 ? s.origin : s.origin + step * first;
    for (double i = first; i <= last; i += 1.0) {
        markCell(p);
        p += step;
    }
}

}  // namespace vostrel
