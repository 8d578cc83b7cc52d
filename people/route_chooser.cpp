#include "people/route_chooser.hpp"

#include <algorithm>

#include "environment/error.hpp"
#include "people/destination_item.hpp"
#include "people/seats_and_queues.hpp"

namespace vostrel {

namespace {
// Every candidate's cost is scaled by one draw of this, so equal choices spread out.
constexpr GaussianRandom kChoiceNoise{1.0, 0.3};
// Larger than any real seat cost, so the first free seat is always taken.
constexpr double kNoSeatYet = 1e26;
}  // namespace

void RouteChooser::chooseDestination(Person& p, RunState& state) {
    const Environment& environment = world_.environment();
    const SubareaList& subareas = world_.subareas();
    CRandom& rng = state.random;
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
                planner_.find(subareas, state.populations, position, itemAt(group, k).position(),
                              world_.areaIndex(), world_.areaGraph());
            const double cost = kChoiceNoise.draw(rng) * route.cost;
            if (j == 0 || best > cost) take(route, cost, k);
        }
    };

    switch (action.kind) {
        case kExit:
            cheapest(environment.exits);
            break;
        case kPoint:
            cheapest(environment.points);
            break;
        case kSeat: {
            // Crowded surroundings make a seat less attractive; a taken seat is no candidate.
            best = kNoSeatYet;
            const auto& seats = environment.seats;
            const int n = seats.count(id);
            for (int j = 0; j < n; ++j) {
                const int k = seats.indexOf(id, j);
                if (state.seats[static_cast<std::size_t>(k)].occupied) continue;
                const Vec2 target = itemAt(seats, k).position();
                const Route& route = planner_.find(subareas, state.populations, position, target,
                                                   world_.areaIndex(), world_.areaGraph());
                const int around = world_.areaAt(target);
                if (around < 0) throw Error(kOutOfSubareas);
                const double density = world_.subarea(around).density(
                    state.populations[static_cast<std::size_t>(around)]);
                const double cost = kChoiceNoise.draw(rng) * (density + 1.0) * route.cost;
                if (best > cost) take(route, cost, k);
            }
            break;
        }
        case kQueue: {
            // Every person already waiting costs one expected dwell.
            const auto& queues = environment.queues;
            const int n = queues.count(id);
            for (int j = 0; j < n; ++j) {
                const int k = queues.indexOf(id, j);
                const Route& route = planner_.find(subareas, state.populations, position,
                                                   queueTail(environment, state, k),
                                                   world_.areaIndex(), world_.areaGraph());
                const double waiting =
                    static_cast<double>(state.queues[static_cast<std::size_t>(k)].size());
                const double cost =
                    kChoiceNoise.draw(rng) * (route.cost + waiting * action.dwell.mean);
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

void RouteChooser::repairRoute(Person& p, const RunState& state) {
    const SubareaList& subareas = world_.subareas();
    if (p.route.empty()) return;
    const Vec2 position = p.position();
    const int here = world_.areaAt(position);
    if (here >= 0 && world_.subarea(p.route.front()).isNeighbour(world_.subarea(here).id())) return;
    // Pushed off its way (into a subarea that does not border the next one, or off the network):
    // without a border to aim at the person would head for the frame origin, so plan afresh.
    const Route& route = planner_.find(subareas, state.populations, position, finalTarget(p, state),
                                       world_.areaIndex(), world_.areaGraph());
    p.route.assign(route.subareas.begin(), route.subareas.end());
    if (isInRouteArea(p)) dropRouteFront(p);
}

Vec2 RouteChooser::finalTarget(const Person& p, const RunState& state) const {
    const Environment& environment = world_.environment();
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kExit:
            return itemAt(environment.exits, k).position();
        case kPoint:
            return itemAt(environment.points, k).position();
        case kSeat:
            return itemAt(environment.seats, k).position();
        case kQueue:
            return queuePlace(environment, state, p);
        default:
            return p.position();
    }
}

bool RouteChooser::isInRouteArea(const Person& p) const {
    const Vec2 position = p.position();
    return std::any_of(p.route.begin(), p.route.end(),
                       [&](int i) { return world_.subarea(i).contains(position.x, position.y); });
}

void RouteChooser::dropRouteFront(Person& p) {
    if (!p.route.empty()) p.route.erase(p.route.begin());
}

}  // namespace vostrel
