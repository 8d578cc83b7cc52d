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
}

int AreaIndex::indexAt(const SubareaList& list, double x, double y) const {
    // Off the grid (or not finite) only the plain loop knows.
    if (list.size() != size_ ||
        !(x >= bounds_.minX && x <= bounds_.maxX && y >= bounds_.minY && y <= bounds_.maxY))
        return vostrel::indexAt(list, x, y);
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
