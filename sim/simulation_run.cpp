#include "sim/simulation_run.hpp"

#include <cmath>
#include <ostream>

#include <tbb/task_group.h>

#include "environment/field_data.hpp"
#include "environment/spatial_network_builder.hpp"
#include "maps/absolute_map.hpp"
#include "maps/relative_map.hpp"
#include "sim/field_file.hpp"
#include "sim/layer_settings.hpp"
#include "sim/parameter_constraints.hpp"

namespace vostrel {

namespace {

constexpr const char* kBanner =
    "------------------------------------------------------------\n"
    "  Vostrel Component (Ver. 3rd February 2012)\n"
    "------------------------------------------------------------\n\n";
constexpr const char* kStartInitialization =
    "- Start Initialization -------------------------------------\n";
constexpr const char* kFinishInitialization =
    "\n- Finish Initialization ------------------------------------\n\n";

}  // namespace

SimulationRun::SimulationRun(Clock& clock, Clock& statsClock, std::ostream& out, std::ostream& err,
                             std::uint32_t seed, RunOptions options)
    : clock_(clock),
      statsClock_(statsClock),
      out_(out),
      err_(err),
      options_(std::move(options)),
      world_(std::make_shared<const World>()),
      state_(seed),
      seed_(seed) {
    err_ << kBanner;
}

SimulationRun::~SimulationRun() = default;

void SimulationRun::activate(const Configuration& config, CancelCheck cancelled) {
    err_ << kStartInitialization;
    stepCount_ = 0;
    crowd_.reset();
    {
        std::lock_guard lock(areasLock_);
        servedWorld_.reset();
        servedPopulations_.clear();
    }
    auto world = std::make_shared<World>();
    {
        const FieldData field = loadFieldFile(config.FieldDataFile, options_.fieldFolders, err_);
        environmentLoaded_ = loadedCleanly(field);
        world->environment = field.environment();
        world->actions = field.actionTable();
    }
    world_ = world;
    state_.restart(world->environment);  // the run's first draws, straight after loading
    world->subareas = buildNetwork(world->environment, std::move(cancelled));
    warnAboutSettings(config, world_->environment, err_);

    robot_.place(robotPlacement(config));
    sensor_ = RangeSensor(rangeSensorSettings(config));
    crowd_ = std::make_unique<Crowd>(
        *world_, state_, WalkingRates{config.walkingrate_mean, config.walkingrate_std_deviation},
        err_);
    state_.robots.push_back(robot_.pose());
    serveAreas();

    const LocalMapSettings local = localMapSettings(config, err_);
    localGrid_ = GridMap(local.width, local.height, local.scale);
    {
        std::lock_guard lock(localMapLock_);
        refreshRelativeMap(localMap_, localGrid_, cycleStamp_, robot_.pose());
        copiedRevision_ = localGrid_.revision();
    }
    {
        const AbsoluteMapSettings global =
            absoluteMapSettings(config, world_->environment.walls, err_);
        std::lock_guard lock(globalMapLock_);
        buildAbsoluteMap(globalMap_, world_->environment.walls, global, cycleStamp_);
    }

    for (RunObserver* o : observers_) o->starting(*this, config);
    activationTick_ = clock_.now();
    robot_.startDrive(driveSettings(config, err_), activationTick_);
    err_ << kFinishInitialization;

    preRun(config);
    serveAreas();
    statistics_ = std::make_unique<CycleStatistics>(statsClock_);
    statistics_->start(CycleStatistics::kRunSlot);
    for (RunObserver* o : observers_) o->observe(*this, config);
}

SubareaList SimulationRun::buildNetwork(const Environment& environment, CancelCheck cancelled) {
    if (environment.entrances.empty()) return {};
    return buildSpatialNetwork(environment, err_, out_, options_.debugImages.get(),
                               std::move(cancelled));
}

void SimulationRun::serveAreas() {
    std::lock_guard lock(areasLock_);
    servedWorld_ = world_;
    servedPopulations_ = state_.populations;
}

void SimulationRun::preRun(const Configuration& config) {
    if (config.simulate_skip == 0 || config.simulate_people == 0 ||
        world_->environment.entrances.empty())
        return;
    for (int steps = 0;; ++steps) {
        const auto& persons = crowd_->persons();
        if (!persons.empty() && !(config.simulate_skip == 2 && config.following_target_id >= 1 &&
                                  persons.back().id != config.following_target_id))
            break;
        if (steps == kMaxWarmUpSteps) {
            // Two persons entering in one step can skip the awaited one for good.
            err_ << "Warm-up stopped after " << kMaxWarmUpSteps / 10
                 << " s of simulated time without reaching its goal.\n";
            break;
        }
        crowd_->step(0.1);
    }
}

void SimulationRun::execute(const Configuration& config,
                            const std::optional<VelocityCommand>& command,
                            std::string_view source) {
    if (!active()) return;
    ++stepCount_;
    out_ << "\n[ STEP " << stepCount_ << " ]\n";
    statistics_->start(CycleStatistics::kCycleSlot);

    std::optional<VelocityCommand> accepted = command;
    if (accepted && !robot_.accepts(*accepted)) {
        refusals_.refuse(*accepted, source, clock_.now(), err_);
        accepted.reset();
    }
    const Pose2D pose =
        robot_.update(accepted, clock_.now(), robotPlacement(config), state_.random);
    state_.robots[0] = pose;
    const std::span<const Segment> walls = world_->environment.walls.all();
    localGrid_.update(walls, pose);

    // The laser sees the walls from where the robot now stands whatever the persons do: another
    // thread casts at them while the crowd moves.
    tbb::task_group wallCast;
    wallCast.run([&] { sensor_.castAtWalls(pose, walls); });
    if (config.simulate_people != 0) {
        crowd_->advance(clock_.now(), crowdTimer_);
        std::lock_guard lock(areasLock_);
        servedPopulations_ = state_.populations;
    }
    wallCast.wait();

    cycleStamp_ = stampOf(clock_.now());
    writeOutputs(config, pose);
    {
        std::lock_guard lock(localMapLock_);
        // A robot standing still leaves the grid as it was: the cells need no copy.
        refreshRelativeMap(localMap_, localGrid_, cycleStamp_, pose,
                           localGrid_.revision() != copiedRevision_);
        copiedRevision_ = localGrid_.revision();
    }
    for (RunObserver* o : observers_) o->cycleReady(*this, config);
    out_ << "Number of persons = " << static_cast<unsigned>(crowd_->persons().size()) << "\n";
    for (RunObserver* o : observers_) o->observe(*this, config);
    statistics_->stop(CycleStatistics::kCycleSlot);
}

void SimulationRun::writeOutputs(const Configuration& config, const Pose2D& pose) {
    CycleOutputs& o = outputs_;
    o.robotState = {cycleStamp_, pose};
    o.robotVelocity = {cycleStamp_, {robot_.speed(), 0.0, robot_.turnRate()}};

    const std::vector<Person>& persons = crowd_->persons();
    o.persons.tm = cycleStamp_;
    o.persons.data.resize(persons.size());
    for (std::size_t i = 0; i < persons.size(); ++i) o.persons.data[i] = persons[i].position();

    o.peopleData.tm = cycleStamp_;
    o.peopleData.id = -1;
    o.peopleData.person.resize(persons.size());
    const double c = std::cos(pose.heading);
    const double s = std::sin(pose.heading);
    for (std::size_t i = 0; i < persons.size(); ++i) {
        const Person& p = persons[i];
        if (p.id == config.following_target_id) o.peopleData.id = static_cast<std::int32_t>(i);
        const Vec2 at = toRobotFrame(pose, p.position(), c, s);
        const Vec2 ahead = toRobotFrame(pose, p.position() + p.velocity(), c, s);
        o.peopleData.person[i] = {at.x, at.y, 0.0, {ahead.x - at.x, ahead.y - at.y, 0.0}};
    }

    personPositions_.assign(o.persons.data.begin(), o.persons.data.end());
    sensor_.scan(pose, world_->environment.walls.all(), personPositions_,
                 config.range_person_radius, state_.random);
    o.rangeData.tm = cycleStamp_;
    err_ << "\n";
    sensor_.fill(o.rangeData.data);
    err_ << "\n";
    if (publish_) publish_(o);
}

void SimulationRun::deactivate() {
    crowd_.reset();
    if (statistics_) {
        statistics_->stop(CycleStatistics::kRunSlot);
        statistics_->printSummary(out_);
    }
    statistics_.reset();
    for (RunObserver* o : observers_) o->stopped(*this);
}

}  // namespace vostrel
