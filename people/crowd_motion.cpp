// How one person moves: goal direction, forces, speed, arrival and exit tests.
#include <algorithm>
#include <numbers>

#include "people/crowd.hpp"
#include "people/destination_item.hpp"

namespace vostrel {

namespace {
// Aim at borders and exit lines at least this far from their ends, away from the walls.
constexpr double kBorderMargin = 0.5;
// Persons closer than this, within 30 degrees of the heading, slow a person down.
constexpr double kSlowingRange = 2.0;
constexpr double kSlowingCone = std::numbers::sqrt3 / 2.0;
constexpr double kSlowingPerPerson = 0.341;
constexpr double kWallRange = 0.8;
constexpr double kWallStrength = 0.05;
// Others are noticed this far away and within 60 degrees of the heading.
constexpr double kAgentRange = 7.5;
constexpr double kAgentCone = 0.5;
constexpr double kPersonStrength = 0.6;
constexpr double kRobotStrength = 0.8;
}  // namespace

Vec2 Crowd::approachVector(Vec2 p, const Segment& s, double margin) {
    return s.closestFrom(p, margin).direction;
}

void Crowd::steer(Person& p, std::span<const Predicted> predicted) const {
    const Vec2 position = p.position();
    const Vec2 velocity = p.velocity();
    Vec2 f = goalDirection(p) + wallForce(position);
    for (const Predicted& q : predicted)
        if (q.id != p.id) f += agentForce(velocity, position, q.position, kPersonStrength);
    for (const Pose2D& r : robots_)
        f += agentForce(velocity, position, {r.x, r.y}, kRobotStrength);
    // Half-way between the old heading and the force; the speed is judged along that heading.
    const Vec2 b = velocity.normalised() + f.normalised();
    p.setVelocity(b);
    p.setVelocity(b * (walkingSpeed(p, predicted) / 2.0));
}

double Crowd::walkingSpeed(const Person& p, std::span<const Predicted> predicted) const {
    const Vec2 heading = p.velocity().normalised();
    const Vec2 position = p.position();
    int ahead = 0;
    if (heading != Vec2{}) {
        for (const Predicted& q : predicted) {
            if (q.id == p.id) continue;
            const Vec2 w = q.position - position;
            const double d = w.length();
            if (d <= kSlowingRange && heading.dot(w.normalised()) >= kSlowingCone) ++ahead;
        }
    }
    return p.walkingRate - kSlowingPerPerson * ahead / std::numbers::sqrt3;
}

Vec2 Crowd::goalDirection(const Person& p) const {
    if (p.route.empty()) return finalLegVector(p).normalised();
    const Vec2 position = p.position();
    const int here = idAt(subareas_, position.x, position.y);
    const Subarea& next = subarea(p.route.front());
    // Off the network, or off the route, there is no border to aim at: head for the target
    // itself rather than for the frame origin a missing border would give.
    if (here < 0 || !next.isNeighbour(here)) return finalLegVector(p).normalised();
    const Segment border = next.borderWith(here);
    const Vec2 g = approachVector(position, border, kBorderMargin);
    return (g.normalised() + lookAhead(p, p.route)).normalised();
}

Vec2 Crowd::lookAhead(const Person& p, std::span<const int> route) const {
    if (route.empty()) return {};
    const int passed = route.front();
    route = route.subspan(1);
    const Vec2 position = p.position();
    const Vec2 next =
        route.empty()
            ? finalLegVector(p)
            : approachVector(position, subarea(route.front()).borderWith(subarea(passed).id()),
                             kBorderMargin);
    if (!environment_.walls.isClear(Segment{next, position})) return {};
    // Summed from the far end, as the chain of sights unwinds.
    return next.normalised() + lookAhead(p, route);
}

Vec2 Crowd::finalLegVector(const Person& p) const {
    const Vec2 position = p.position();
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kExit:
            return approachVector(position, itemAt(environment_.exits, k).line(), kBorderMargin);
        case kPoint:
            return itemAt(environment_.points, k).position() - position;
        case kSeat:
            return itemAt(environment_.seats, k).position() - position;
        case kQueue:
            return queuePlace(p) - position;
        default:
            return {};  // an action that names no destination
    }
}

Vec2 Crowd::wallForce(Vec2 position) const {
    Vec2 nearest;
    double d = 0.0;
    bool any = false;
    for (const Segment& wall : environment_.walls.all()) {
        const Vec2 w = approachVector(position, wall, 0.0);
        const double l = w.length();
        if (!any || l < d) {
            nearest = w;
            d = l;
            any = true;
        }
    }
    // On the wall itself there is no direction to push in.
    if (!any || d > kWallRange || d == 0.0) return {};
    return nearest * -kWallStrength / (d * d * d * d);
}

Vec2 Crowd::agentForce(Vec2 velocity, Vec2 position, Vec2 other, double strength) const {
    const Vec2 w = other - position;
    const double d = w.length();
    // At the same spot there is no direction to push in.
    if (!(d <= kAgentRange) || d == 0.0) return {};
    const Vec2 u = w.normalised();
    const double c = velocity.normalised().dot(u);
    if (!(c >= kAgentCone)) return {};
    if (!environment_.walls.isClear(Segment::fromPoints(position, other))) return {};
    return -u * c * strength / (d * d);
}

bool Crowd::hasArrived(const Person& p) {
    const Vec2 position = p.position();
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kPoint: {
            const Point& point = itemAt(environment_.points, k);
            return (point.position() - position).length() <= point.value();
        }
        case kSeat: {
            SeatState* seat = seatState(k);
            if (seat == nullptr) return false;
            if (!((itemAt(environment_.seats, k).position() - position).length() <= kSeatReach))
                return false;
            *seat = SeatState{true, p.id};
            return true;
        }
        case kQueue: {
            std::vector<std::int32_t>* list = queueList(k);
            if (list == nullptr) return false;
            if (!((queuePlace(p) - position).length() <= kQueueReach)) return false;
            if (std::find(list->begin(), list->end(), p.id) != list->end())
                return list->front() == p.id;
            list->push_back(p.id);
            return false;
        }
        default:
            return false;  // exits end by leaving, not by arriving
    }
}

bool Crowd::hasCrossedExit(const Person& p) const {
    if (p.action.kind != kExit) return false;
    // The last second walked at the current velocity, traced backwards.
    const Segment path{-p.velocity(), p.position()};
    return path.crosses(itemAt(environment_.exits, p.action.targetIndex).line());
}

}  // namespace vostrel
