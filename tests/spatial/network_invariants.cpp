#include "tests/spatial/network_invariants.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>

namespace vostrel::test {

namespace {

constexpr double kEps = 1e-9;

Vec2 corner(const Polygon& p, std::size_t k) {
    return p.corners()[k % p.corners().size()];
}

// Every turn goes the same way (straight corners allowed).
bool geometricallyConvex(const Polygon& p) {
    const std::size_t n = p.corners().size();
    if (n < 3) return false;
    bool left = false;
    bool right = false;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 a = corner(p, k + 1) - corner(p, k);
        const Vec2 b = corner(p, k + 2) - corner(p, k + 1);
        const double c = a.cross(b);
        if (c > kEps * a.length() * b.length()) left = true;
        if (c < -kEps * a.length() * b.length()) right = true;
    }
    return !(left && right);
}

// Separating-axis test: interiors overlap unless some side normal separates the corner sets.
bool interiorsOverlap(const Polygon& a, const Polygon& b) {
    for (const Polygon* p : {&a, &b}) {
        for (std::size_t k = 0; k < p->corners().size(); ++k) {
            const Vec2 side = corner(*p, k + 1) - corner(*p, k);
            const Vec2 axis = Vec2{-side.y, side.x}.normalised();
            double aMin = std::numeric_limits<double>::max(), aMax = -aMin;
            double bMin = aMin, bMax = -aMin;
            for (const Vec2& c : a.corners())
                aMin = std::min(aMin, axis.dot(c)), aMax = std::max(aMax, axis.dot(c));
            for (const Vec2& c : b.corners())
                bMin = std::min(bMin, axis.dot(c)), bMax = std::max(bMax, axis.dot(c));
            if (aMax <= bMin + 1e-7 || bMax <= aMin + 1e-7) return false;
        }
    }
    return true;
}

bool isSide(const Polygon& p, const Segment& s) {
    for (std::size_t k = 0; k < p.corners().size(); ++k) {
        const Vec2 a = corner(p, k), b = corner(p, k + 1);
        if ((a == s.origin && b == s.end()) || (b == s.origin && a == s.end())) return true;
    }
    return false;
}

double distance(const Segment& s, Vec2 p) {
    return s.closestFrom(p, 0.0).length();
}

// Clips the wall to the convex polygon and tells whether what remains runs through the inside.
bool wallThroughInterior(const Polygon& p, const Segment& wall) {
    const std::size_t n = p.corners().size();
    const Vec2 centre = p.centre();
    double t0 = 0.0, t1 = 1.0;
    for (std::size_t k = 0; k < n; ++k) {
        const Vec2 a = corner(p, k), b = corner(p, k + 1);
        Vec2 inward{-(b - a).y, (b - a).x};
        if (inward.dot(centre - a) < 0) inward = -inward;
        const double num = inward.dot(wall.origin - a);
        const double den = inward.dot(wall.direction);
        if (den == 0.0) {
            if (num < 0.0) return false;
        } else if (den > 0.0) {
            t0 = std::max(t0, -num / den);
        } else {
            t1 = std::min(t1, -num / den);
        }
    }
    if (t1 - t0 <= 1e-9) return false;
    const Vec2 mid = wall.origin + wall.direction * ((t0 + t1) / 2.0);
    for (std::size_t k = 0; k < n; ++k)
        if (distance(Segment::fromPoints(corner(p, k), corner(p, k + 1)), mid) < 1e-7) return false;
    return true;
}

}  // namespace

::testing::AssertionResult soundNetwork(const SubareaList& subareas, const Walls& walls,
                                        double reachableArea) {
    std::ostringstream problems;
    std::map<int, const Subarea*> byId;
    double area = 0.0;
    for (const Subarea& s : subareas) {
        if (!byId.emplace(s.id(), &s).second) problems << "id " << s.id() << " twice\n";
        if (!s.convex() || !geometricallyConvex(s))
            problems << "subarea " << s.id() << " not convex\n";
        area += s.area();
        for (const Segment& w : walls.all())
            if (wallThroughInterior(s, w))
                problems << "a wall from (" << w.origin.x << ", " << w.origin.y
                         << ") runs through subarea " << s.id() << "\n";
    }
    if (std::abs(area - reachableArea) > 1e-6 * std::max(1.0, reachableArea))
        problems << "areas sum to " << area << ", expected " << reachableArea << "\n";
    for (std::size_t i = 0; i < subareas.size(); ++i)
        for (std::size_t j = i + 1; j < subareas.size(); ++j)
            if (interiorsOverlap(subareas[i], subareas[j]))
                problems << "subareas " << subareas[i].id() << " and " << subareas[j].id()
                         << " overlap\n";

    for (const Subarea& s : subareas) {
        for (const SubareaLink& link : s.links()) {
            const auto other = byId.find(link.neighbourId);
            if (other == byId.end()) {
                problems << "subarea " << s.id() << " links to missing " << link.neighbourId
                         << "\n";
                continue;
            }
            const Subarea& t = *other->second;
            if (!isSide(s, link.border) || !isSide(t, link.border))
                problems << "border " << s.id() << "-" << t.id() << " is not a side of both\n";
            const auto& back = t.links();
            if (std::none_of(back.begin(), back.end(), [&](const SubareaLink& l) {
                    return l.neighbourId == s.id() && l.border == link.border;
                }))
                problems << "link " << s.id() << "->" << t.id() << " has no way back\n";
            for (const Segment& w : walls.all())
                if (w.crosses(link.border) || distance(w, link.border.midpoint()) < 1e-9)
                    problems << "border " << s.id() << "-" << t.id()
                             << " crosses or follows a wall\n";
        }
    }
    const std::string text = problems.str();
    if (text.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << text;
}

}  // namespace vostrel::test
