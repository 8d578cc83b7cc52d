#include "environment/segment.hpp"

namespace vostrel {

namespace {
int sign(double v) {
    return (v > 0.0) - (v < 0.0);
}
}  // namespace

double Segment::lineParameter(const Segment& other) const {
    Vec2 n{-other.direction.y, other.direction.x};
    n.normalise();
    return -(n.dot(origin) - n.dot(other.origin)) / n.dot(direction);
}

bool Segment::intersects(const Segment& other) const {
    const double s = other.lineParameter(*this);
    if (!(s >= 0.0 && s <= 1.0)) return false;
    const Vec2 p = origin + direction * lineParameter(other);
    return (p - origin).dot(p - end()) <= 0.0;
}

bool Segment::crosses(const Segment& other) const {
    const int a =
        sign(direction.cross(other.origin - origin)) * sign(direction.cross(other.end() - origin));
    if (a >= 0) return false;
    const int b = sign(other.direction.cross(origin - other.origin)) *
                  sign(other.direction.cross(end() - other.origin));
    return b < 0;
}

Vec2 Segment::intersectionPoint(const Segment& other) const {
    return origin + direction * lineParameter(other);
}

Segment Segment::closestFrom(Vec2 p, double margin) const {
    const Vec2 u = direction.normalised();
    const Segment s{direction - u * (2.0 * margin), origin + u * margin};
    const Segment perpendicular{{-s.direction.y, s.direction.x}, p};
    const Vec2 foot = s.intersectionPoint(perpendicular);
    if ((foot - s.origin).dot(foot - s.end()) < 0.0) return fromPoints(p, foot);
    const bool originNearer = (s.origin - p).length() < (s.end() - p).length();
    return fromPoints(p, originNearer ? s.origin : s.end());
}

}  // namespace vostrel
