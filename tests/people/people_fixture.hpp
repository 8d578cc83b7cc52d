#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "people/crowd.hpp"
#include "people/route_chooser.hpp"
#include "people/seats_and_queues.hpp"
#include "people/walking_model.hpp"

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

// A run state restarted in the world, as activation makes it.
inline RunState startedIn(const World& world, std::uint32_t seed) {
    RunState state(seed);
    state.restart(world.environment);
    state.populations.assign(world.subareas.size(), 0);
    return state;
}

// Owns a world and a run state; tests fill env, actions and areas, then build() a crowd or
// ask for the parts: the walking model and the route chooser over the world as it is then.
class PeopleTest : public ::testing::Test {
  protected:
    // Restarts the run state (drawing the entrances' first countdowns) and makes a crowd on it.
    Crowd& build() {
        state.restart(env);
        crowd = std::make_unique<Crowd>(world, state, WalkingRates{1.33, 0.1}, err);
        return *crowd;
    }
    const WalkingModel& walking() {
        walkingIndex_ = std::make_unique<WorldIndex>(world);
        model_ = std::make_unique<WalkingModel>(*walkingIndex_);
        return *model_;
    }
    RouteChooser& chooser() {
        chooserIndex_ = std::make_unique<WorldIndex>(world);
        chooser_ = std::make_unique<RouteChooser>(*chooserIndex_);
        state.populations.resize(areas.size(), 0);
        return *chooser_;
    }
    // Sets p's velocity to the one the walking model steers it to.
    void steer(Person& p, std::span<const Predicted> predicted = {},
               std::span<const Pose2D> robots = {}) {
        p.setVelocity(walking().steer(p, state, Snapshot{predicted, robots}));
    }
    Person& at(std::int32_t id) { return *state.findPerson(id); }

    World world;
    Environment& env = world.environment;
    ActionTable& actions = world.actions;
    SubareaList& areas = world.subareas;
    RunState state{3};  // its first choice-noise draws are near 1
    CRandom& rng = state.random;
    std::ostringstream err;
    std::unique_ptr<Crowd> crowd;

  private:
    std::unique_ptr<WorldIndex> walkingIndex_, chooserIndex_;
    std::unique_ptr<WalkingModel> model_;
    std::unique_ptr<RouteChooser> chooser_;
};

}  // namespace vostrel::test
