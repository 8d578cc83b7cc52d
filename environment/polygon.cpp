#include "environment/polygon.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "environment/segment.hpp"

namespace vostrel {

namespace {

double triangleArea(Vec2 a, Vec2 b, Vec2 c) {
    return 0.5 * std::abs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

bool hasCorner(const std::vector<Vec2>& corners, Vec2 p) {
    return std::find(corners.begin(), corners.end(), p) != corners.end();
}

// Rotates the cyclic corner list until it starts with one shared corner and ends with the other.
void rotateToSharedSide(std::vector<Vec2>& l, Vec2 c0, Vec2 c1) {
    for (std::size_t i = 0; i < l.size() && l.front() != c0 && l.front() != c1; ++i)
        std::rotate(l.begin(), l.begin() + 1, l.end());
    const Vec2 other = l.front() == c0 ? c1 : c0;
    if (l.back() != other) std::rotate(l.begin(), l.begin() + 1, l.end());
}

}  // namespace

Polygon::Polygon(std::vector<Vec2> corners) : corners_(std::move(corners)) {
    convex_ = isConvex(corners_);
    if (!convex_) return;
    area_ = fanArea(corners_);
    Vec2 sum;
    for (const Vec2& c : corners_) sum += c;
    centre_ = sum / static_cast<double>(corners_.size());
}

bool Polygon::isConvex(const std::vector<Vec2>& c) {
    const std::size_t n = c.size();
    if (n < 3) return false;
    double sum = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 toPrev = (c[(k + n - 1) % n] - c[k]).normalised();
        const Vec2 toNext = (c[(k + 1) % n] - c[k]).normalised();
        sum += std::acos(std::clamp(toPrev.dot(toNext), -1.0, 1.0));
    }
    const double nd = static_cast<double>(n);
    return sum >= (nd - 2.0) * std::numbers::pi - nd * 0.0001;
}

double Polygon::fanArea(const std::vector<Vec2>& c) {
    if (c.size() < 3) return 0.0;
    // Same order of additions as peeling off the last corner recursively.
    double area = triangleArea(c[0], c[1], c[2]);
    for (std::size_t k = 3; k < c.size(); ++k) area += triangleArea(c[0], c[k], c[k - 1]);
    return area;
}

bool Polygon::contains(double x, double y) const {
    if (!convex_) return false;
    const Segment toCentre = Segment::fromPoints({x, y}, centre_);
    const std::size_t n = corners_.size();
    for (std::size_t k = 0; k < n; ++k) {
        const Segment side = Segment::fromPoints(corners_[k], corners_[(k + 1) % n]);
        const double t = toCentre.lineParameter(side);
        if (t > 0.0 && t < 1.0) return false;
    }
    return true;
}

std::vector<Vec2> Polygon::commonCorners(const Polygon& other) const {
    std::vector<Vec2> common;
    for (const Vec2& c : corners_)
        if (hasCorner(other.corners_, c)) common.push_back(c);
    return common;
}

std::optional<Polygon> Polygon::mergeIfConvex(const Polygon& other) const {
    if (!convex_ || !other.convex_) return std::nullopt;
    const std::vector<Vec2> common = commonCorners(other);
    if (common.size() != 2) return std::nullopt;
    std::vector<Vec2> la = corners_;
    std::vector<Vec2> lb = other.corners_;
    rotateToSharedSide(la, common[0], common[1]);
    rotateToSharedSide(lb, common[0], common[1]);
    if (lb.front() == la.front()) std::reverse(lb.begin(), lb.end());
    la.pop_back();
    lb.pop_back();
    la.insert(la.end(), lb.begin(), lb.end());
    Polygon joined(std::move(la));
    if (!joined.convex_) return std::nullopt;
    return joined;
}

}  // namespace vostrel
