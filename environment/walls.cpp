#include "environment/walls.hpp"

#include <algorithm>

#include "environment/error.hpp"

namespace vostrel {

namespace {
constexpr const char* kNoWall = "Error: No wall data. Out of number. ( Walls::Wall() )";
}

void Walls::add(const Segment& wall) {
    const Vec2 a = wall.origin;
    const Vec2 b = wall.end();
    maxX_ = std::max({maxX_, a.x, b.x});
    maxY_ = std::max({maxY_, a.y, b.y});
    walls_.push_back(wall);
}

Segment Walls::Wall(int index) const {
    if (index < 0 || index >= count()) throw Error(kNoWall);
    return walls_[static_cast<std::size_t>(index)];
}

bool Walls::isClear(const Segment& s) const {
    return std::none_of(walls_.begin(), walls_.end(),
                        [&](const Segment& w) { return w.intersects(s); });
}

}  // namespace vostrel
