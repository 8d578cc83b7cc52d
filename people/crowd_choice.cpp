// Which destination a person walks to, and the route it takes there.
#include <algorithm>

#include "environment/error.hpp"
#include "people/crowd.hpp"
#include "people/destination_item.hpp"

namespace vostrel {

namespace {
// Every candidate's cost is scaled by one draw of this, so equal choices spread out.
constexpr GaussianRandom kChoiceNoise{1.0, 0.3};
// Larger than any real seat cost, so the first free seat is always taken.
constexpr double kNoSeatYet = 1e26;
}  // namespace

void Crowd::chooseDestination(Person& p) {
    Action& action = p.action;
    const Vec2 position = p.position();
    const int id = action.destinationId;
    double best = 0.0;
    const auto take = [&](const Route& route, double cost, int k) {
        best = cost;
        p.route.assign(route.subareas.begin(), route.subareas.end());
        action.targetIndex = k;
    };
    // Exits and points: the cheapest route, the first candidate whatever it costs.
    const auto cheapest = [&](const auto& group) {
        const int n = group.count(id);
        for (int j = 0; j < n; ++j) {
            const int k = group.indexOf(id, j);
            const Route& route =
                planner_.find(subareas_, position, itemAt(group, k).position(), areaIndex());
            const double cost = kChoiceNoise.draw(rng_) * route.cost;
            if (j == 0 || best > cost) take(route, cost, k);
        }
    };

    switch (action.kind) {
        case kExit:
            cheapest(environment_.exits);
            break;
        case kPoint:
            cheapest(environment_.points);
            break;
        case kSeat: {
            // Crowded surroundings make a seat less attractive; a taken seat is no candidate.
            best = kNoSeatYet;
            const auto& seats = environment_.seats;
            const int n = seats.count(id);
            for (int j = 0; j < n; ++j) {
                const int k = seats.indexOf(id, j);
                if (seats_[static_cast<std::size_t>(k)].occupied) continue;
                const Vec2 target = itemAt(seats, k).position();
                const Route& route = planner_.find(subareas_, position, target, areaIndex());
                const int around = areaAt(target);
                if (around < 0) throw Error(kOutOfSubareas);
                const double density = subarea(around).density();
                const double cost = kChoiceNoise.draw(rng_) * (density + 1.0) * route.cost;
                if (best > cost) take(route, cost, k);
            }
            break;
        }
        case kQueue: {
            // Every person already waiting costs one expected dwell.
            const auto& queues = environment_.queues;
            const int n = queues.count(id);
            for (int j = 0; j < n; ++j) {
                const int k = queues.indexOf(id, j);
                const Route& route = planner_.find(subareas_, position, queueTail(k), areaIndex());
                const double waiting =
                    static_cast<double>(queues_[static_cast<std::size_t>(k)].size());
                const double cost =
                    kChoiceNoise.draw(rng_) * (route.cost + waiting * action.dwell.mean);
                if (j == 0 || best > cost) take(route, cost, k);
            }
            break;
        }
        default:
            break;  // names no destination: nothing to choose from
    }
    // A fresh route starts with the subarea the person stands in.
    if (isInRouteArea(p)) dropRouteFront(p);
}

void Crowd::repairRoute(Person& p) {
    if (p.route.empty()) return;
    const Vec2 position = p.position();
    const int here = areaAt(position);
    if (here >= 0 && subarea(p.route.front()).isNeighbour(subarea(here).id())) return;
    // Pushed off its way (into a subarea that does not border the next one, or off the network):
    // without a border to aim at the person would head for the frame origin, so plan afresh.
    const Route& route = planner_.find(subareas_, position, finalTarget(p), areaIndex());
    p.route.assign(route.subareas.begin(), route.subareas.end());
    if (isInRouteArea(p)) dropRouteFront(p);
}

Vec2 Crowd::finalTarget(const Person& p) const {
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kExit:
            return itemAt(environment_.exits, k).position();
        case kPoint:
            return itemAt(environment_.points, k).position();
        case kSeat:
            return itemAt(environment_.seats, k).position();
        case kQueue:
            return queuePlace(p);
        default:
            return p.position();
    }
}

Route Crowd::findRoute(const SubareaList& list, Vec2 p, Vec2 q) {
    return planner_.find(list, p, q);
}

bool Crowd::isInRouteArea(const Person& p) const {
    const Vec2 position = p.position();
    return std::any_of(p.route.begin(), p.route.end(),
                       [&](int i) { return subarea(i).contains(position.x, position.y); });
}

void Crowd::dropRouteFront(Person& p) {
    if (!p.route.empty()) p.route.erase(p.route.begin());
}

}  // namespace vostrel
