#include "people/seats_and_queues.hpp"

#include <algorithm>

#include "people/destination_item.hpp"

namespace vostrel {

namespace {

template <class T>
T* slot(std::vector<T>& items, int k) {
    return k >= 0 && static_cast<std::size_t>(k) < items.size()
               ? &items[static_cast<std::size_t>(k)]
               : nullptr;
}

template <class T>
const T* slot(const std::vector<T>& items, int k) {
    return slot(const_cast<std::vector<T>&>(items), k);
}

}  // namespace

Vec2 queueTail(const Environment& environment, const RunState& state, int k) {
    const Segment& line = itemAt(environment.queues, k).line();
    const std::vector<std::int32_t>* list = slot(state.queues, k);
    if (list == nullptr || list->empty()) return line.origin;
    const Person* last = state.findPerson(list->back());
    return last != nullptr ? last->position() + line.direction : line.origin;
}

Vec2 queuePlace(const Environment& environment, const RunState& state, const Person& p) {
    if (p.action.kind != kQueue) return {};
    const int k = p.action.targetIndex;
    const Segment& line = itemAt(environment.queues, k).line();
    const std::vector<std::int32_t>* list = slot(state.queues, k);
    if (list != nullptr && !list->empty() && list->front() != p.id) {
        const auto me = std::find(list->begin(), list->end(), p.id);
        const std::int32_t ahead = me == list->end() ? list->back() : *(me - 1);
        if (const Person* a = state.findPerson(ahead)) return a->position() + line.direction;
    }
    return line.origin;
}

void leaveQueue(RunState& state, const Person& p) {
    if (std::vector<std::int32_t>* list = slot(state.queues, p.action.targetIndex))
        std::erase(*list, p.id);
}

void forgetInQueues(RunState& state, std::span<const std::int32_t> leavers) {
    if (leavers.empty()) return;
    for (std::vector<std::int32_t>& list : state.queues)
        std::erase_if(list, [&](std::int32_t id) {
            return std::find(leavers.begin(), leavers.end(), id) != leavers.end();
        });
}

void refreshSeats(const Environment& environment, RunState& state) {
    for (std::size_t k = 0; k < state.seats.size(); ++k) {
        SeatState& seat = state.seats[k];
        if (!seat.occupied) continue;
        const Person* occupant = state.findPerson(seat.occupant);
        const Vec2 at = itemAt(environment.seats, static_cast<int>(k)).position();
        if (occupant == nullptr || (at - occupant->position()).length() > kSeatReach)
            seat.occupied = false;
    }
}

bool hasArrived(const Environment& environment, RunState& state, const Person& p) {
    const Vec2 position = p.position();
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kPoint: {
            const Point& point = itemAt(environment.points, k);
            return (point.position() - position).length() <= point.value();
        }
        case kSeat: {
            SeatState* seat = slot(state.seats, k);
            if (seat == nullptr) return false;
            if (!((itemAt(environment.seats, k).position() - position).length() <= kSeatReach))
                return false;
            *seat = SeatState{true, p.id};
            return true;
        }
        case kQueue: {
            std::vector<std::int32_t>* list = slot(state.queues, k);
            if (list == nullptr) return false;
            if (!((queuePlace(environment, state, p) - position).length() <= kQueueReach))
                return false;
            if (std::find(list->begin(), list->end(), p.id) != list->end())
                return list->front() == p.id;
            list->push_back(p.id);
            return false;
        }
        default:
            return false;  // exits end by leaving, not by arriving
    }
}

bool hasCrossedExit(const Environment& environment, const Person& p) {
    if (p.action.kind != kExit) return false;
    // The last second walked at the current velocity, traced backwards.
    const Segment path{-p.velocity(), p.position()};
    return path.crosses(itemAt(environment.exits, p.action.targetIndex).line());
}

}  // namespace vostrel
