#include "environment/area_index.hpp"

#include <algorithm>
#include <cmath>

#include "environment/segment.hpp"

namespace vostrel {

namespace {

constexpr double kCellSize = 1.0;
constexpr int kMaxCellsPerAxis = 512;
// A point this far outside a well-shaped subarea's box lies beyond one of its side lines by far
// more than rounding can blur, so the containment test rejects it for certain.
constexpr double kSlack = 1e-3;
constexpr double kSharpestCorner = 1e-4;  // radians
constexpr double kCentreClearance = 1e-6;

bool wellShaped(const Subarea& a) {
    const std::vector<Vec2>& c = a.corners();
    const std::size_t n = c.size();
    const Vec2 centre = a.centre();
    if (!std::isfinite(centre.x) || !std::isfinite(centre.y)) return false;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 side = c[(k + 1) % n] - c[k];
        const Vec2 back = c[(k + n - 1) % n] - c[k];
        const double l = side.length();
        const double m = back.length();
        if (!(l > 0.0) || !(m > 0.0) || !std::isfinite(l) || !std::isfinite(m)) return false;
        if (!(std::fabs(side.cross(centre - c[k])) / l >= kCentreClearance)) return false;
        const double corner = std::atan2(std::fabs(side.cross(back)), side.dot(back));
        if (!(corner >= kSharpestCorner)) return false;
    }
    return true;
}

// Settled cells: no more per axis, so that settling stays quick on large floors.
constexpr int kMaxSettledCellsPerAxis = 256;

enum class Side { kInside, kOutside, kUnknown };

// Where the box lies for a's containment test (the segment from a point to the centre must
// cross no side line between its ends), when that is certain for every point of the box: each
// point and the centre lie farther than margin from every side line, on the same side (inside)
// or on opposite sides of one (outside). Rounding moves the test's distances by far less.
Side sideOf(const Subarea& a, const Box& box, double margin) {
    const std::vector<Vec2>& c = a.corners();
    const std::size_t n = c.size();
    const Vec2 centre = a.centre();
    const Vec2 points[] = {
        {box.minX, box.minY}, {box.maxX, box.minY}, {box.maxX, box.maxY}, {box.minX, box.maxY}};
    bool inside = true;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 side = c[(k + 1) % n] - c[k];
        const double l = side.length();
        if (!(l > 0.0) || !std::isfinite(l)) return Side::kUnknown;
        const double toCentre = side.cross(centre - c[k]) / l;
        if (!(std::fabs(toCentre) > margin)) return Side::kUnknown;
        int same = 0, opposite = 0;
        for (const Vec2 p : points) {
            const double d = side.cross(p - c[k]) / l;
            if (!(std::fabs(d) > margin)) continue;
            if ((d > 0.0) == (toCentre > 0.0))
                ++same;
            else
                ++opposite;
        }
        if (opposite == 4) return Side::kOutside;
        if (same != 4) inside = false;
    }
    return inside ? Side::kInside : Side::kUnknown;
}

}  // namespace

AreaIndex::AreaIndex(const SubareaList& list) : size_(list.size()) {
    // Subareas that are not convex contain nothing and are left out.
    std::vector<Box> boxes;
    std::vector<bool> everywhere;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Subarea& a = list[i];
        if (!a.convex()) continue;
        const Vec2 first = a.corners().front();
        Box b{first.x, first.y, first.x, first.y};
        for (const Vec2& c : a.corners()) {
            b.minX = std::min(b.minX, c.x);
            b.minY = std::min(b.minY, c.y);
            b.maxX = std::max(b.maxX, c.x);
            b.maxY = std::max(b.maxY, c.y);
        }
        const double size =
            std::max({std::fabs(b.minX), std::fabs(b.minY), std::fabs(b.maxX), std::fabs(b.maxY)});
        const double slack = kSlack * (1.0 + 1e-6 * size);
        b = {b.minX - slack, b.minY - slack, b.maxX + slack, b.maxY + slack};
        items_.push_back(static_cast<std::uint32_t>(i));
        boxes.push_back(b);
        everywhere.push_back(!b.finite() || !wellShaped(a));
    }
    bool any = false;
    for (std::size_t k = 0; k < boxes.size(); ++k) {
        if (everywhere[k]) continue;
        const Box& b = boxes[k];
        bounds_ = any ? Box{std::min(bounds_.minX, b.minX), std::min(bounds_.minY, b.minY),
                            std::max(bounds_.maxX, b.maxX), std::max(bounds_.maxY, b.maxY)}
                      : b;
        any = true;
    }
    if (!any) {
        size_ = kNoIndex;
        return;
    }
    // Others must be tried at every point, in their place in the list.
    for (std::size_t k = 0; k < boxes.size(); ++k)
        if (everywhere[k]) boxes[k] = bounds_;
    grid_.build(boxes, kCellSize, kMaxCellsPerAxis);
    settleCells(list);
}

void AreaIndex::settleCells(const SubareaList& list) {
    const double width = bounds_.maxX - bounds_.minX;
    const double height = bounds_.maxY - bounds_.minY;
    if (!std::isfinite(width) || !std::isfinite(height)) return;
    const double cellSize = std::max(kCellSize, std::max(width, height) / kMaxSettledCellsPerAxis);
    settledPerCell_ = 1.0 / cellSize;
    settledColumns_ = std::min(kMaxSettledCellsPerAxis, static_cast<int>(width / cellSize) + 1);
    settledRows_ = std::min(kMaxSettledCellsPerAxis, static_cast<int>(height / cellSize) + 1);
    const double size = std::max({std::fabs(bounds_.minX), std::fabs(bounds_.minY),
                                  std::fabs(bounds_.maxX), std::fabs(bounds_.maxY)});
    const double margin = kSlack * (1.0 + 1e-6 * size);
    // A point is filed in a cell by rounded arithmetic: the box tested is a little wider.
    const double blur = 1e-6 * (1.0 + size);
    settled_.assign(static_cast<std::size_t>(settledColumns_) * settledRows_, kUndecided);
    std::vector<std::uint32_t> candidates;
    for (int y = 0; y < settledRows_; ++y) {
        for (int x = 0; x < settledColumns_; ++x) {
            const Box cell{bounds_.minX + x * cellSize - blur, bounds_.minY + y * cellSize - blur,
                           bounds_.minX + (x + 1) * cellSize + blur,
                           bounds_.minY + (y + 1) * cellSize + blur};
            // Every subarea that may hold a point of the cell, in list order.
            candidates.clear();
            grid_.query(cell, [&](std::uint32_t k) { candidates.push_back(k); });
            std::sort(candidates.begin(), candidates.end());
            std::int32_t answer = -1;
            for (const std::uint32_t k : candidates) {
                const Side side = sideOf(list[items_[k]], cell, margin);
                if (side == Side::kOutside) continue;
                answer = side == Side::kInside ? static_cast<std::int32_t>(items_[k]) : kUndecided;
                break;
            }
            settled_[static_cast<std::size_t>(y) * settledColumns_ + x] = answer;
        }
    }
}

int AreaIndex::indexAt(const SubareaList& list, double x, double y) const {
    // Off the grid (or not finite) only the plain loop knows.
    if (list.size() != size_ ||
        !(x >= bounds_.minX && x <= bounds_.maxX && y >= bounds_.minY && y <= bounds_.maxY))
        return vostrel::indexAt(list, x, y);
    if (!settled_.empty()) {
        const auto cellOf = [&](double v, double origin, int count) {
            const double c = (v - origin) * settledPerCell_;
            if (!(c > 0.0)) return 0;
            if (c >= static_cast<double>(count - 1)) return count - 1;
            return static_cast<int>(c);
        };
        const std::int32_t settled =
            settled_[static_cast<std::size_t>(cellOf(y, bounds_.minY, settledRows_)) *
                         settledColumns_ +
                     cellOf(x, bounds_.minX, settledColumns_)];
        if (settled != kUndecided) return settled;
    }
    // A point lies in one cell, whose subareas come in list order.
    int found = -1;
    grid_.query({x, y, x, y}, [&](std::uint32_t k) {
        const std::uint32_t i = items_[k];
        if (list[i].contains(x, y)) found = static_cast<int>(i);
        return found < 0;
    });
    return found;
}

}  // namespace vostrel
