#pragma once

#include <optional>
#include <vector>

#include "environment/vec2.hpp"

namespace vostrel {

// A corner list with its convexity; centre and area are only meaningful (and only computed)
// for convex polygons, which is all the rest of the system works with.
class Polygon {
  public:
    Polygon() = default;
    explicit Polygon(std::vector<Vec2> corners);
    virtual ~Polygon() = default;
    Polygon(const Polygon&) = default;
    Polygon& operator=(const Polygon&) = default;
    Polygon(Polygon&&) = default;
    Polygon& operator=(Polygon&&) = default;

    const std::vector<Vec2>& corners() const { return corners_; }
    bool convex() const { return convex_; }
    Vec2 centre() const { return centre_; }
    double area() const { return area_; }

    // Points on a side's line count as inside; a non-convex polygon contains nothing.
    bool contains(double x, double y) const;
    std::vector<Vec2> commonCorners(const Polygon& other) const;
    // The union of two convex polygons sharing exactly one side, when that union is convex.
    std::optional<Polygon> mergeIfConvex(const Polygon& other) const;

    static bool isConvex(const std::vector<Vec2>& corners);
    static double fanArea(const std::vector<Vec2>& corners);

  private:
    std::vector<Vec2> corners_;
    bool convex_ = false;
    Vec2 centre_;
    double area_ = 0.0;
};

}  // namespace vostrel
