#include "display/run_display.hpp"

#include "display/display_settings_check.hpp"
#include "sim/simulation_run.hpp"

namespace vostrel {

RunDisplay::RunDisplay(RunDisplayOptions options, std::ostream& console)
    : options_(std::move(options)), console_(console) {}

RunDisplay::~RunDisplay() = default;

void RunDisplay::starting(const SimulationRun& run, const Configuration& config) {
    window_.reset();
    annotation_.reset();
    if (options_.annotation.enabled)
        annotation_ = std::make_unique<AnnotationLayer>(options_.annotation.trailSeconds);
    const Walls& walls = run.environment().walls;
    const auto bandFor = annotation_ ? &AnnotationLayer::bandHeight : nullptr;
    window_ = openSimulationWindow(walls, displaySettings(config, walls, bandFor, console_),
                                   options_.window, console_, bandFor);
}

void RunDisplay::cycleReady(const SimulationRun& run, const Configuration& config) {
    if (!window_) return;
    const std::vector<Person>& persons = run.crowd()->persons();
    drawData_.resize(persons.size());
    for (std::size_t i = 0; i < persons.size(); ++i)
        drawData_[i] = {persons[i].position(), persons[i].velocity(), persons[i].id};
    DisplayScene scene;
    scene.rays = run.sensor().displayRays();
    scene.drawRays = config.display_range_data != 0;
    scene.walls = run.environment().walls.all();
    scene.robots = run.state().robots;
    scene.persons = drawData_;
    scene.followingTargetId = config.following_target_id;
    if (annotation_)
        annotation_->displayStep(
            *window_, scene,
            {(run.clock().now() - run.startTick()) / 1000.0, run.stepCount(), run.seed()});
    else
        window_->displayStep(scene);
}

void RunDisplay::stopped(const SimulationRun&) {
    window_.reset();
    annotation_.reset();
}

}  // namespace vostrel
