#include "environment/entrance.hpp"

namespace vostrel {

Entrance::Entrance(int id_, Segment line_, GaussianRandom interval_, CRandom& rng)
    : id(id_), line(line_), interval(interval_), countdown(interval_.draw(rng)) {}

bool Entrance::tick(double dt, CRandom& rng) {
    countdown -= dt;
    if (countdown > 0.0) return false;
    countdown += interval.draw(rng);
    return true;
}

Vec2 Entrance::spawnPoint(CRandom& rng) const {
    const double a = GaussianRandom{0.5, 0.1}.draw(rng);
    return line.origin + line.direction * a;
}

}  // namespace vostrel
