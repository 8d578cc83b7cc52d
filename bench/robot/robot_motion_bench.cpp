// The per-cycle robot update: drive ramps, arc integration, world mapping, three error draws.
#include <benchmark/benchmark.h>

#include "robot/robot_motion.hpp"

namespace vostrel {
namespace {

void BM_RobotUpdate(benchmark::State& state) {
    RobotPlacement placement;
    placement.moveErrorX = placement.moveErrorY = 0.01;
    placement.moveErrorHeading = 1.0;
    RobotMotion robot;
    robot.place(placement);
    robot.startDrive(DriveSettings{}, 0);
    CRandom rng{1};
    Tick now = 0;
    robot.update(VelocityCommand{0.5, 0.0, 0.3}, now, placement, rng);
    for (auto _ : state) {
        now += 100;
        benchmark::DoNotOptimize(robot.update(std::nullopt, now, placement, rng));
    }
}
BENCHMARK(BM_RobotUpdate);

}  // namespace
}  // namespace vostrel
