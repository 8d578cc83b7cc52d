#pragma once

#include <cstdint>
#include <span>

#include "environment/environment.hpp"
#include "people/run_state.hpp"

namespace vostrel {

// Seats and queues: who sits where, who waits where, and where a waiting person stands. The
// seat and queue state is run state; the places themselves are the environment's.

// A seat is reached, and stays taken, within this distance of it.
inline constexpr double kSeatReach = 0.45;
// A queue place is reached within this distance.
inline constexpr double kQueueReach = 0.3;

// Where the next person to join queue k stands: one spacing behind the last one waiting, or
// the head of the queue when nobody waits.
Vec2 queueTail(const Environment& environment, const RunState& state, int k);
// Where p waits in its queue: one spacing behind the person ahead of it (the last one when p
// has not joined yet), or the head. The origin when p is not queueing.
Vec2 queuePlace(const Environment& environment, const RunState& state, const Person& p);
void leaveQueue(RunState& state, const Person& p);
// Queue places are computed from the persons ahead, so no queue may keep a leaver's id.
void forgetInQueues(RunState& state, std::span<const std::int32_t> leavers);
// Frees every seat whose occupant has gone or moved away from it.
void refreshSeats(const Environment& environment, RunState& state);

// Whether p has reached its point, seat or queue head. Reaching a free seat takes it; reaching
// the queue place joins the queue (arrival then waits until p is at its head).
bool hasArrived(const Environment& environment, RunState& state, const Person& p);
// Whether p, heading for an exit, crossed its line within the last second walked.
bool hasCrossedExit(const Environment& environment, const Person& p);

}  // namespace vostrel
