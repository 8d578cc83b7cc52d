#pragma once

namespace vostrel {

// One velocity sample as it arrives on the command port: forward speed vx and lateral speed
// vy in m/s, turning rate va in rad/s. A differential drive cannot move sideways, so vy is
// carried but never used.
struct VelocityCommand {
    double vx = 0.0;
    double vy = 0.0;
    double va = 0.0;
};

}  // namespace vostrel
