#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "people/crowd.hpp"

namespace vostrel::test {

inline Subarea rect(int id, double x0, double y0, double x1, double y1) {
    return Subarea(id, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// Links subareas a and b (list positions equal to ids here) both ways across a border.
inline void link(SubareaList& list, int a, int b, Vec2 p, Vec2 q) {
    list[static_cast<std::size_t>(a)].addLink(b, Segment::fromPoints(p, q));
    list[static_cast<std::size_t>(b)].addLink(a, Segment::fromPoints(p, q));
}

inline Action act(int kind, int destinationId = 1, int next = 0, GaussianRandom dwell = {}) {
    return Action{kind, destinationId, next, dwell, 0};
}

inline Person walker(Vec2 position, Vec2 velocity = {}, Action action = act(kPoint)) {
    Person p;
    p.walkingRate = 1.33;
    p.motion = Segment{velocity, position};
    p.action = action;
    return p;
}

// Owns what a crowd refers to; tests fill env, actions and areas, then build().
class PeopleTest : public ::testing::Test {
  protected:
    Crowd& build() {
        crowd = std::make_unique<Crowd>(env, actions, areas, 1.33, 0.1, rng, err);
        return *crowd;
    }
    Person& at(std::int32_t id) { return *crowd->findPerson(id); }

    Environment env;
    ActionTable actions;
    SubareaList areas;
    CRandom rng{3};  // its first choice-noise draws are near 1
    std::ostringstream err;
    std::unique_ptr<Crowd> crowd;
};

}  // namespace vostrel::test
