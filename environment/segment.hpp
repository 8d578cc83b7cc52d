#pragma once

#include "environment/vec2.hpp"

namespace vostrel {

// origin + t * direction for t in 0..1. Walls, entrance, exit and border lines are segments.
struct Segment {
    Vec2 direction;
    Vec2 origin;

    constexpr Segment() = default;
    constexpr Segment(Vec2 direction_, Vec2 origin_) : direction(direction_), origin(origin_) {}
    static constexpr Segment fromPoints(Vec2 a, Vec2 b) { return {b - a, a}; }

    constexpr Vec2 end() const { return origin + direction; }
    constexpr Vec2 midpoint() const { return origin + direction / 2.0; }
    double length() const { return direction.length(); }
    constexpr Segment reversed() const { return {-direction, end()}; }
    constexpr bool operator==(const Segment&) const = default;

    // t at which this segment's line meets other's line; parallel lines give inf or NaN,
    // which every range test below rejects.
    double lineParameter(const Segment& other) const;
    // Closed test: touching end points count.
    bool intersects(const Segment& other) const;
    // Strict test: end points of each lie strictly on both sides of the other's line.
    bool crosses(const Segment& other) const;
    Vec2 intersectionPoint(const Segment& other) const;
    // Shortest segment from p to this segment shrunk by margin at both ends, directed from p.
    Segment closestFrom(Vec2 p, double margin) const;
};

}  // namespace vostrel
