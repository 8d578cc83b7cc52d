#include "people/walking_model.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "people/destination_item.hpp"
#include "people/seats_and_queues.hpp"

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
// Neighbours are looked up this far out: the sight range and a margin no rounding reaches.
constexpr double kAgentReach = kAgentRange + 0.01;

// True when w is certainly longer than range, judged from its squared length with a margin
// far above rounding, so that w.length() <= range can never hold for a vector it rejects.
bool surelyBeyond(Vec2 w, double range) {
    return w.x * w.x + w.y * w.y > range * range * (1.0 + 1e-9);
}

// True when heading.dot(w.normalised()) >= cone (0 < cone < 1, heading of length 1 or 0) can
// certainly not hold; decided without the square root, again with a margin far above rounding.
bool surelyOutsideCone(Vec2 heading, Vec2 w, double cone) {
    const double along = heading.x * w.x + heading.y * w.y;
    if (along <= 0.0) return true;
    return along * along < cone * cone * (w.x * w.x + w.y * w.y) * (1.0 - 1e-9);
}
// Where the persons that push one heading along heading, or slow it down, may stand: the
// bounding box of the sight sector and of the slowing circle, with a margin no rounding
// reaches. Far smaller than the square around the sight range, which would do as well.
Box reachBox(Vec2 position, Vec2 heading) {
    const double length = heading.length();
    double reach = kAgentReach;
    Box box{position.x, position.y, position.x, position.y};
    if (length < 0.49) {
        // Shorter than the cone's cosine, a heading sees nobody in its cone.
        reach = kSlowingRange + 0.01;
    } else if (std::fabs(length - 1.0) < 1e-6) {
        reach = kSlowingRange + 0.01;
        // The sector's ends, 60 degrees either side, and the ends of the axes inside it.
        const double c = kAgentCone;
        const double s = std::numbers::sqrt3 / 2.0;
        const Vec2 ends[] = {{heading.x * c - heading.y * s, heading.x * s + heading.y * c},
                             {heading.x * c + heading.y * s, -heading.x * s + heading.y * c}};
        for (const Vec2 e : ends) {
            box.minX = std::min(box.minX, position.x + e.x * kAgentReach);
            box.maxX = std::max(box.maxX, position.x + e.x * kAgentReach);
            box.minY = std::min(box.minY, position.y + e.y * kAgentReach);
            box.maxY = std::max(box.maxY, position.y + e.y * kAgentReach);
        }
        constexpr double kAxisIn = kAgentCone - 1e-6;
        if (heading.x >= kAxisIn) box.maxX = position.x + kAgentReach;
        if (heading.x <= -kAxisIn) box.minX = position.x - kAgentReach;
        if (heading.y >= kAxisIn) box.maxY = position.y + kAgentReach;
        if (heading.y <= -kAxisIn) box.minY = position.y - kAgentReach;
        constexpr double kMargin = 0.05;
        box = {box.minX - kMargin, box.minY - kMargin, box.maxX + kMargin, box.maxY + kMargin};
    }
    // Any other heading (not finite, or of odd length) keeps the whole square.
    return {std::min(box.minX, position.x - reach), std::min(box.minY, position.y - reach),
            std::max(box.maxX, position.x + reach), std::max(box.maxY, position.y + reach)};
}
}  // namespace

Vec2 WalkingModel::approachVector(Vec2 p, const Segment& s, double margin) {
    return s.closestFrom(p, margin).direction;
}

Vec2 WalkingModel::steer(const Person& p, const RunState& state, const Snapshot& snapshot) const {
    return snapshot.neighbours != nullptr ? steerNearby(p, state, snapshot)
                                          : steerPlain(p, state, snapshot);
}

Vec2 WalkingModel::steerPlain(const Person& p, const RunState& state,
                              const Snapshot& snapshot) const {
    const Vec2 position = p.position();
    const Vec2 velocity = p.velocity();
    Vec2 f = goalDirection(p, state) + wallForce(position);
    for (const Predicted& q : snapshot.predicted)
        if (q.id != p.id) f += agentForce(velocity, position, q.position, kPersonStrength);
    for (const Pose2D& r : snapshot.robots)
        f += agentForce(velocity, position, {r.x, r.y}, kRobotStrength);
    // Half-way between the old heading and the force; the speed is judged along that heading.
    const Vec2 b = velocity.normalised() + f.normalised();
    return b * (walkingSpeed(p, b, snapshot.predicted) / 2.0);
}

Vec2 WalkingModel::steerNearby(const Person& p, const RunState& state,
                               const Snapshot& snapshot) const {
    PersonTerms terms;
    NeighbourGrid::Scratch scratch;
    personTerms(p, snapshot, scratch, terms);
    return steer(p, state, snapshot, terms);
}

void WalkingModel::personTerms(const Person& p, const Snapshot& snapshot,
                               NeighbourGrid::Scratch& scratch, PersonTerms& terms) const {
    const std::span<const Predicted> predicted = snapshot.predicted;
    const Vec2 position = p.position();
    const Vec2 heading = p.velocity().normalised();
    terms.pushes.clear();
    terms.close.clear();
    const std::span<const std::uint32_t> near =
        std::as_const(*snapshot.neighbours).within(reachBox(position, heading), scratch);
    // Everybody the index leaves out is out of sight range and would add exactly zero; such
    // additions are skipped, and one zero added at the end instead, which turns a sum of
    // negative zeros into a positive one just as they would have. Zeros in between change
    // no other sum, so a push that comes out zero is left out the same way.
    bool zeroSkipped = false;
    bool selfNear = false;
    for (const std::uint32_t i : near) {
        const Predicted& q = predicted[i];
        if (q.id == p.id) {
            selfNear = true;
            continue;
        }
        const Vec2 w = q.position - position;
        // Persons that slow one down are within sight range, whatever the heading.
        if (!surelyBeyond(w, kSlowingRange) && w.length() <= kSlowingRange)
            terms.close.push_back(w);
        if (surelyBeyond(w, kAgentRange) || surelyOutsideCone(heading, w, kAgentCone)) {
            zeroSkipped = true;
            continue;
        }
        const Vec2 push = sightForce(heading, position, q.position, kPersonStrength);
        if (push == Vec2{} && !std::signbit(push.x) && !std::signbit(push.y))
            zeroSkipped = true;
        else
            terms.pushes.push_back(push);
    }
    const std::size_t left = predicted.size() - near.size();
    if (left > 1 ||
        (left == 1 && (selfNear || std::none_of(predicted.begin(), predicted.end(),
                                                [&](const Predicted& q) { return q.id == p.id; }))))
        zeroSkipped = true;
    terms.zeroSkipped = zeroSkipped;
    terms.wall = wallForce(position);
}

Vec2 WalkingModel::steer(const Person& p, const RunState& state, const Snapshot& snapshot,
                         const PersonTerms& terms) const {
    const Vec2 position = p.position();
    const Vec2 velocity = p.velocity();
    Vec2 f = goalDirection(p, state) + terms.wall;
    for (const Vec2 push : terms.pushes) f += push;
    for (const Pose2D& r : snapshot.robots)
        f += agentForce(velocity, position, {r.x, r.y}, kRobotStrength);
    if (terms.zeroSkipped) f += Vec2{};
    const Vec2 b = velocity.normalised() + f.normalised();

    // walkingSpeed() over the persons within its range.
    const Vec2 ahead = b.normalised();
    int count = 0;
    if (ahead != Vec2{}) {
        for (const Vec2 w : terms.close) {
            if (surelyOutsideCone(ahead, w, kSlowingCone)) continue;
            if (ahead.dot(w.normalised()) >= kSlowingCone) ++count;
        }
    }
    const double speed = p.walkingRate - kSlowingPerPerson * count / std::numbers::sqrt3;
    return b * (speed / 2.0);
}

double WalkingModel::walkingSpeed(const Person& p, Vec2 velocity,
                                  std::span<const Predicted> predicted) const {
    const Vec2 heading = velocity.normalised();
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

Vec2 WalkingModel::goalDirection(const Person& p, const RunState& state) const {
    if (p.route.empty()) return finalLegVector(p, state).normalised();
    const Vec2 position = p.position();
    const int at = world_.areaAt(position);
    const int here = at < 0 ? -1 : world_.subarea(at).id();
    const Subarea& next = world_.subarea(p.route.front());
    // Off the network, or off the route, there is no border to aim at: head for the target
    // itself rather than for the frame origin a missing border would give.
    if (here < 0 || !next.isNeighbour(here)) return finalLegVector(p, state).normalised();
    const Segment border = next.borderWith(here);
    const Vec2 g = approachVector(position, border, kBorderMargin);
    return (g.normalised() + lookAhead(p, state, p.route)).normalised();
}

Vec2 WalkingModel::lookAhead(const Person& p, const RunState& state,
                             std::span<const int> route) const {
    if (route.empty()) return {};
    const int passed = route.front();
    route = route.subspan(1);
    const Vec2 position = p.position();
    const Vec2 next =
        route.empty()
            ? finalLegVector(p, state)
            : approachVector(position,
                             world_.subarea(route.front()).borderWith(world_.subarea(passed).id()),
                             kBorderMargin);
    if (!world_.isClear(Segment{next, position})) return {};
    // Summed from the far end, as the chain of sights unwinds.
    return next.normalised() + lookAhead(p, state, route);
}

Vec2 WalkingModel::finalLegVector(const Person& p, const RunState& state) const {
    const Environment& environment = world_.environment();
    const Vec2 position = p.position();
    const int k = p.action.targetIndex;
    switch (p.action.kind) {
        case kExit:
            return approachVector(position, itemAt(environment.exits, k).line(), kBorderMargin);
        case kPoint:
            return itemAt(environment.points, k).position() - position;
        case kSeat:
            return itemAt(environment.seats, k).position() - position;
        case kQueue:
            return queuePlace(environment, state, p) - position;
        default:
            return {};  // an action that names no destination
    }
}

Vec2 WalkingModel::wallForce(Vec2 position) const {
    Vec2 nearest;
    double d = 0.0;
    std::size_t at = 0;
    bool any = false;
    // The first wall in file order wins among equally near ones.
    const auto consider = [&](std::size_t i, const Segment& wall) {
        const Vec2 w = approachVector(position, wall, 0.0);
        const double l = w.length();
        if (!any || l < d || (l == d && i < at)) {
            nearest = w;
            d = l;
            at = i;
            any = true;
        }
    };
    const std::vector<Segment>& walls = world_.environment().walls.all();
    if (world_.plainLoops()) {
        for (std::size_t i = 0; i < walls.size(); ++i) consider(i, walls[i]);
    } else if (!walls.empty()) {
        // The first wall decides alone when its distance is NaN, as in the loop over all;
        // otherwise only walls within reach can win, and the index offers all of those.
        consider(0, walls[0]);
        world_.wallGrid().forEachNear(position, kWallRange + WallGrid::kSlack, [&](std::size_t i) {
            if (i != 0) consider(i, walls[i]);
        });
    }
    // On the wall itself there is no direction to push in.
    if (!any || d > kWallRange || d == 0.0) return {};
    return nearest * -kWallStrength / (d * d * d * d);
}

Vec2 WalkingModel::agentForce(Vec2 velocity, Vec2 position, Vec2 other, double strength) const {
    return sightForce(velocity.normalised(), position, other, strength);
}

Vec2 WalkingModel::sightForce(Vec2 heading, Vec2 position, Vec2 other, double strength) const {
    const Vec2 w = other - position;
    const double d = w.length();
    // At the same spot there is no direction to push in.
    if (!(d <= kAgentRange) || d == 0.0) return {};
    // w.normalised(), without working out the same length again.
    const Vec2 u{w.x / d, w.y / d};
    const double c = heading.dot(u);
    if (!(c >= kAgentCone)) return {};
    if (!world_.isClear(Segment::fromPoints(position, other))) return {};
    return -u * c * strength / (d * d);
}

}  // namespace vostrel
