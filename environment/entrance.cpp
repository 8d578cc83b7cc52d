#include "environment/entrance.hpp"

namespace vostrel {

bool Entrance::tick(double& countdown, double dt, CRandom& rng) const {
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
