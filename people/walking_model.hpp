#pragma once

#include <cstdint>
#include <span>

#include "environment/pose_2d.hpp"
#include "people/neighbour_grid.hpp"
#include "people/person.hpp"
#include "people/run_state.hpp"
#include "people/world_index.hpp"

namespace vostrel {

// A person's id and position one step ahead: what the others react to during a step.
struct Predicted {
    std::int32_t id;
    Vec2 position;
};

// What the persons react to during one step, frozen at its start: everybody's predicted
// position, the robots, and an index over the predicted positions (none: plain loops).
struct Snapshot {
    std::span<const Predicted> predicted;
    std::span<const Pose2D> robots;
    NeighbourGrid* neighbours = nullptr;  // its queries reuse buffers, nothing else changes
};

// What the other persons in a snapshot do to one person, which depends only on the person's
// own position and velocity and on the snapshot: worked out for everybody before anybody
// decides, and then added in the order the plain sum takes.
struct PersonTerms {
    std::vector<Vec2> pushes;  // the non-zero pushes of the persons in sight, in snapshot order
    std::vector<Vec2> close;   // offsets to the persons within slowing range
    bool zeroSkipped = false;  // a zero push was left out of pushes
    Vec2 wall;                 // the push of the walls, which depends on the position alone
};

// How one person walks: the pull of its goal, the push of walls, persons and robots, and the
// speed the persons ahead leave it. Functions of the world, the run state and the snapshot
// that change none of them.
class WalkingModel {
  public:
    // The index must outlive the model.
    explicit WalkingModel(const WorldIndex& world) : world_(world) {}

    // The velocity p takes for the step: half-way between its heading and the sum of the
    // forces, at its walking speed along that heading. Through the neighbour index when the
    // snapshot has one, over everybody otherwise; the result is the same bit for bit.
    Vec2 steer(const Person& p, const RunState& state, const Snapshot& snapshot) const;
    // The same as steer() through the index, with p's terms worked out beforehand.
    Vec2 steer(const Person& p, const RunState& state, const Snapshot& snapshot,
               const PersonTerms& terms) const;
    // p's terms against the snapshot, which must have an index; touches nothing shared but
    // the world, read only, so that threads may work out different persons at once.
    void personTerms(const Person& p, const Snapshot& snapshot, NeighbourGrid::Scratch& scratch,
                     PersonTerms& terms) const;
    // p's free walking rate less the slowing of the persons within 2 m and 30 degrees of
    // velocity's direction.
    double walkingSpeed(const Person& p, Vec2 velocity, std::span<const Predicted> predicted) const;

    // Unit vector towards the next border of the route (and the borders seen beyond it), or
    // towards the final target when there is no border to aim at.
    Vec2 goalDirection(const Person& p, const RunState& state) const;
    // One unit vector per border of the route in direct sight, in route order, stopping at the
    // first hidden one; the final target counts when every border before it is in sight.
    Vec2 lookAhead(const Person& p, const RunState& state, std::span<const int> route) const;
    // From p to its destination (for an exit, to the exit line away from its ends).
    Vec2 finalLegVector(const Person& p, const RunState& state) const;
    Vec2 wallForce(Vec2 position) const;
    Vec2 agentForce(Vec2 velocity, Vec2 position, Vec2 other, double strength) const;
    // The shortest segment from p to s shrunk by margin at both ends, as a vector.
    static Vec2 approachVector(Vec2 p, const Segment& s, double margin);

  private:
    Vec2 steerPlain(const Person& p, const RunState& state, const Snapshot& snapshot) const;
    Vec2 steerNearby(const Person& p, const RunState& state, const Snapshot& snapshot) const;
    Vec2 sightForce(Vec2 heading, Vec2 position, Vec2 other, double strength) const;

    const WorldIndex& world_;
};

}  // namespace vostrel
