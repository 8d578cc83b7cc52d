#pragma once

#include <cmath>

namespace vostrel {

// A point or a vector in the environment frame, metres.
struct Vec2 {
    double x = 0.0;
    double y = 0.0;

    constexpr Vec2() = default;
    constexpr Vec2(double x_, double y_) : x(x_), y(y_) {}

    constexpr Vec2 operator+(Vec2 o) const { return {x + o.x, y + o.y}; }
    constexpr Vec2 operator-(Vec2 o) const { return {x - o.x, y - o.y}; }
    constexpr Vec2 operator*(double k) const { return {x * k, y * k}; }
    constexpr Vec2 operator/(double k) const { return {x / k, y / k}; }
    constexpr Vec2 operator-() const { return {-x, -y}; }
    Vec2& operator+=(Vec2 o) {
        x += o.x;
        y += o.y;
        return *this;
    }
    Vec2& operator-=(Vec2 o) {
        x -= o.x;
        y -= o.y;
        return *this;
    }
    constexpr bool operator==(const Vec2&) const = default;

    constexpr double dot(Vec2 o) const { return x * o.x + y * o.y; }
    // z of the 3-D cross product; its sign says on which side of *this o lies.
    constexpr double cross(Vec2 o) const { return x * o.y - y * o.x; }
    double length() const { return std::sqrt(x * x + y * y); }

    // Divides by the length; a zero vector stays zero rather than turning into NaN.
    void normalise() {
        const double l = length();
        if (l != 0.0) {
            x /= l;
            y /= l;
        }
    }
    Vec2 normalised() const {
        Vec2 v = *this;
        v.normalise();
        return v;
    }
};

constexpr Vec2 operator*(double k, Vec2 v) {
    return v * k;
}

}  // namespace vostrel
