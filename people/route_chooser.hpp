#pragma once

#include "people/person.hpp"
#include "people/route_planner.hpp"
#include "people/run_state.hpp"
#include "people/world_index.hpp"

namespace vostrel {

// Which destination a person walks to, and the route through the subareas it takes there.
// Choices draw from the run's random sequence, one draw per candidate, in candidate order.
class RouteChooser {
  public:
    // The index must outlive the chooser.
    explicit RouteChooser(const WorldIndex& world) : world_(world) {}

    // Picks the target of p's current action among the destinations with its id and plans the
    // route there: exits and points by route cost, seats by cost and crowding around them (taken
    // seats are no candidates), queues by cost and the persons already waiting.
    void chooseDestination(Person& p, RunState& state);
    // Plans a new route to the current target when p stands outside the network or in a subarea
    // that does not border the next one of its route; draws nothing.
    void repairRoute(Person& p, const RunState& state);
    // Whether p stands in a subarea of its route; the route then starts past it.
    bool isInRouteArea(const Person& p) const;
    // The point p is finally heading for.
    Vec2 finalTarget(const Person& p, const RunState& state) const;
    static void dropRouteFront(Person& p);

  private:
    const WorldIndex& world_;
    RoutePlanner planner_;
};

}  // namespace vostrel
