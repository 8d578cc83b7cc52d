#include "web/run_view.hpp"

#include <algorithm>
#include <ostream>

#include "web/view_json.hpp"

namespace vostrel {

namespace {

// Rays the page gets at most; a scan of hundreds only makes the fan solid.
constexpr std::size_t kMaxLaserRays = 180;

Tick tickOf(const TimeStamp& t) {
    return static_cast<Tick>(t.sec * 1000u + t.nsec / 1000000u);
}

}  // namespace

RunView::RunView(SimulationRun& run) : run_(run) {}

RunView::~RunView() {
    run_.removeObserver(*this);
}

std::unique_ptr<RunView> RunView::open(SimulationRun& run, const ServeAddress& address,
                                       std::ostream& console, std::string_view program) {
    std::unique_ptr<RunView> view(new RunView(run));
    std::string error;
    if (!view->server_.start(address, error)) {
        console << program << ": live view: cannot listen on " << address.hostPort() << " ("
                << error << "); running without it\n";
        return nullptr;
    }
    ServeAddress bound = address;
    bound.port = view->server_.port();
    console << program << ": live view at " << bound.url() << "\n";
    if (!isLoopback(address.host))
        console << program << ": warning: the live view on " << bound.hostPort()
                << " has no authentication; anyone who can reach that address can watch\n";
    run.addObserver(*view);
    return view;
}

void RunView::observe(const SimulationRun& run, const Configuration& config) {
    if (run.stepCount() == 0) {
        ++runs_;
        static const SubareaList none;
        server_.setEnvironment(
            environmentJson(runs_, run.environment(), run.crowd() ? run.world().subareas : none));
    }
    if (server_.streams() == 0) return;
    fill(run, config);
    if (!server_.states().offer(state_)) ++skipped_;
}

void RunView::fill(const SimulationRun& run, const Configuration& config) {
    ViewState& s = state_;
    s.run = runs_;
    s.step = run.stepCount();
    s.seed = run.seed();
    const CycleOutputs& out = run.outputs();
    s.time =
        s.step == 0 ? 0.0 : static_cast<Tick>(tickOf(out.robotState.tm) - run.startTick()) / 1000.0;
    const CycleStatistics* stats = run.statistics();
    s.cycleMs = stats ? stats->last(CycleStatistics::kCycleSlot) : 0;
    s.cycleAverageMs = stats ? stats->average(CycleStatistics::kCycleSlot) : 0;
    s.followed = config.following_target_id;
    s.robot = run.robotPose();
    s.robotSpeed = s.step == 0 ? 0.0 : out.robotVelocity.data.vx;
    s.robotTurnRate = s.step == 0 ? 0.0 : out.robotVelocity.data.va;

    const std::span<const Segment> rays = run.sensor().displayRays();
    s.laser.clear();
    s.sensor = rays.empty() ? Vec2{s.robot.x, s.robot.y} : rays.front().origin;
    const std::size_t every =
        std::max<std::size_t>(1, (rays.size() + kMaxLaserRays - 1) / kMaxLaserRays);
    for (std::size_t i = 0; i < rays.size(); i += every) s.laser.push_back(rays[i].end());

    s.persons.clear();
    s.seatOccupants.clear();
    s.populations.clear();
    if (!run.crowd()) {
        s.queues.clear();
        return;
    }
    const RunState& state = run.state();
    for (const Person& p : state.persons) s.persons.push_back({p.id, p.position(), p.velocity()});
    for (const SeatState& seat : state.seats)
        s.seatOccupants.push_back(seat.occupied ? seat.occupant : -1);
    s.queues.resize(state.queues.size());
    for (std::size_t i = 0; i < state.queues.size(); ++i)
        s.queues[i].assign(state.queues[i].begin(), state.queues[i].end());
    s.populations.assign(state.populations.begin(), state.populations.end());
}

std::unique_ptr<RunView> openRunView(SimulationRun& run, std::string_view address,
                                     std::string_view port, std::ostream& console,
                                     std::string_view program) {
    if (port.empty() || port == "0") return nullptr;
    const std::optional<int> number = parsePort(port);
    if (!number) {
        console << program << ": " << kWebPortKey
                << ": expected a port number 1..65535 (0 = off), not '" << port
                << "'; running without the live view\n";
        return nullptr;
    }
    ServeAddress where;
    if (!address.empty()) where.host = std::string(address);
    where.port = *number;
    return RunView::open(run, where, console, program);
}

}  // namespace vostrel
