#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "environment/debug_image_sink.hpp"
#include "environment/spatial_network_builder.hpp"
#include "environment/world.hpp"
#include "maps/grid_map.hpp"
#include "maps/map_records.hpp"
#include "people/crowd.hpp"
#include "people/crowd_timer.hpp"
#include "people/run_state.hpp"
#include "platform/clock.hpp"
#include "robot/range_sensor.hpp"
#include "robot/robot_motion.hpp"
#include "robot/velocity_command.hpp"
#include "sim/command_refusals.hpp"
#include "sim/configuration.hpp"
#include "sim/cycle_outputs.hpp"
#include "sim/cycle_statistics.hpp"
#include "sim/run_observer.hpp"

namespace vostrel {

struct RunOptions {
    // Takes the spatial network's images at activation; none: they are not made.
    std::shared_ptr<DebugImageSink> debugImages;
    std::vector<std::string> fieldFolders;  // where else a relative FieldDataFile may lie
};

// The whole simulation of one component, free of any middleware: activation builds a run from
// the configuration, every cycle moves the robot and the crowd and produces the five port
// samples, deactivation prints the summary. The framework binding and the batch runner both
// drive it; they own the configuration and hand in the values in force at each call.
//
// A run reads one World (built at activation, never changed until the next one) and changes one
// RunState (persons, seats, queues, counts, countdowns, robots, the random sequence).
//
// Threads: every call except the three guarded readers belongs to one thread (the execution
// context's). The readers may run on any thread at any time; each takes the one lock that
// guards its data, and nothing ever holds two.
class SimulationRun {
  public:
    // Seeds the random sequence and prints the banner. `clock` is the millisecond tick of the
    // simulation (cycle stamps, crowd time, drive model); `statsClock` measures real cycle cost.
    SimulationRun(Clock& clock, Clock& statsClock, std::ostream& out, std::ostream& err,
                  std::uint32_t seed, RunOptions options = {});
    ~SimulationRun();
    SimulationRun(const SimulationRun&) = delete;
    SimulationRun& operator=(const SimulationRun&) = delete;

    // `cancelled` is asked during the spatial network build; when it says yes the build stops
    // with BuildCancelled, which leaves here and leaves the run inactive.
    void activate(const Configuration& config, CancelCheck cancelled = {});
    // One cycle. `command` is the velocity sample that arrived since the last cycle, if any.
    // An error of the crowd step leaves the cycle there (it was already reported on the error
    // stream); the driver decides what follows. A command the robot cannot take is refused and
    // reported under `source` (the connector or file it came from); the previous one stays.
    void execute(const Configuration& config, const std::optional<VelocityCommand>& command,
                 std::string_view source = {});
    void deactivate();

    // Called in every cycle once the five samples are complete, before the local map refresh
    // and the display, so that the ports are written in the cycle's own order.
    void setPublisher(std::function<void(const CycleOutputs&)> publish) {
        publish_ = std::move(publish);
    }
    // Observers are called in the order they were added. Attach them before the run is driven
    // and detach them before they go; the run does not own them.
    void addObserver(RunObserver& observer) { observers_.push_back(&observer); }
    void removeObserver(const RunObserver& observer) { std::erase(observers_, &observer); }

    bool active() const { return crowd_ != nullptr; }
    // Whether the last activation read its environment file whole and found something in it.
    bool environmentLoaded() const { return environmentLoaded_; }
    void setFieldFolders(std::vector<std::string> folders) {
        options_.fieldFolders = std::move(folders);
    }
    std::int32_t stepCount() const { return stepCount_; }
    const CycleOutputs& outputs() const { return outputs_; }
    const World& world() const { return *world_; }
    const Environment& environment() const { return world_->environment; }
    const RunState& state() const { return state_; }
    const Crowd* crowd() const { return crowd_.get(); }
    const Pose2D& robotPose() const { return robot_.pose(); }
    const CommandRefusals& commandRefusals() const { return refusals_; }
    CRandom& random() { return state_.random; }
    std::uint32_t seed() const { return seed_; }
    Tick startTick() const { return activationTick_; }  // the clock at activation
    Clock& clock() const { return clock_; }
    const RangeSensor& sensor() const { return sensor_; }
    const CycleStatistics* statistics() const { return statistics_.get(); }

    // Guarded readers for the services. Each calls f with the data under its lock.
    // f(subareas, populations): the run's subareas and the persons counted in each after the
    // last crowd advance; empty before the first network. Only the counts are copied under the
    // lock; the subareas belong to a world that never changes and that f keeps alive.
    template <class F>
    auto withAreas(F&& f) const {
        std::shared_ptr<const World> world;
        std::vector<int> populations;
        {
            std::lock_guard lock(areasLock_);
            world = servedWorld_;
            populations = servedPopulations_;
        }
        static const SubareaList none;
        return f(world ? world->subareas : none, static_cast<const std::vector<int>&>(populations));
    }
    template <class F>
    auto withGlobalMap(F&& f) const {
        std::lock_guard lock(globalMapLock_);
        return f(static_cast<const AbsoluteMapData&>(globalMap_));
    }
    template <class F>
    auto withLocalMap(F&& f) const {
        std::lock_guard lock(localMapLock_);
        return f(static_cast<const RelativeMapData&>(localMap_));
    }

    // The simulated time the warm-up may take at most before it gives up waiting.
    static constexpr int kMaxWarmUpSteps = 6000;  // 600 s of 0.1 s steps

  private:
    SubareaList buildNetwork(const Environment& environment, CancelCheck cancelled);
    void serveAreas();
    void preRun(const Configuration& config);
    void writeOutputs(const Configuration& config, const Pose2D& pose);

    Clock& clock_;
    Clock& statsClock_;
    std::ostream& out_;
    std::ostream& err_;
    RunOptions options_;

    // Read-only during a run; replaced at activation.
    std::shared_ptr<const World> world_;
    RunState state_;  // its random sequence runs on across activations
    std::unique_ptr<Crowd> crowd_;
    CrowdTimer crowdTimer_;  // one per component: the previous tick outlives every run

    // areasLock_ guards what the area service reads: the world of the run and the counts of
    // persons in its subareas, copied after every crowd advance.
    mutable std::mutex areasLock_;
    std::shared_ptr<const World> servedWorld_;
    std::vector<int> servedPopulations_;

    mutable std::mutex globalMapLock_;
    AbsoluteMapData globalMap_;
    mutable std::mutex localMapLock_;
    RelativeMapData localMap_;
    GridMap localGrid_{200, 200, 0.05};
    std::uint64_t copiedRevision_ = 0;  // of localGrid_, last copied into localMap_

    RobotMotion robot_;
    CommandRefusals refusals_;
    RangeSensor sensor_;
    std::unique_ptr<CycleStatistics> statistics_;
    std::uint32_t seed_;
    Tick activationTick_ = 0;

    std::function<void(const CycleOutputs&)> publish_;
    std::vector<RunObserver*> observers_;
    std::int32_t stepCount_ = 0;
    bool environmentLoaded_ = false;
    TimeStamp cycleStamp_;
    CycleOutputs outputs_;
    std::vector<Vec2> personPositions_;  // scan input, reused
};

}  // namespace vostrel
