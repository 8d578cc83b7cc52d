#include "people/crowd.hpp"

#include <algorithm>
#include <ostream>
#include <utility>

#include "environment/error.hpp"
#include "people/seats_and_queues.hpp"

namespace vostrel {

namespace {
constexpr const char* kUnknownError = "Error: Unknown error.";
}  // namespace

Crowd::Crowd(const World& world, RunState& state, WalkingRates rates, std::ostream& err)
    : world_(world),
      state_(state),
      rates_(rates),
      err_(err),
      index_(world),
      walking_(index_),
      chooser_(index_) {
    state_.populations.assign(world_.subareas.size(), 0);
    // Checked once here so that a broken file is named once and never read out of range later.
    const std::vector<Entrance>& entrances = world_.environment.entrances;
    entranceOpen_.reserve(entrances.size());
    for (std::size_t r = 0; r < entrances.size(); ++r) {
        const bool open = world_.actions.firstFor(static_cast<int>(r)).has_value();
        if (!open)
            err_ << "Error: Entrance " << entrances[r].id
                 << " has no first action; nobody enters there." << std::endl;
        entranceOpen_.push_back(open);
    }
}

void Crowd::step(double dt) {
    try {
        removeLeavers();
        advancePositions(dt);
        admitNewcomers(dt);
        freezeSnapshot(dt);
        std::vector<Person>& persons = state_.persons;
        const bool indexed = !index_.plainLoops() && neighbours_.size() == predicted_.size();
        // What the others do to each person is fixed by now: other threads start on it while
        // this one counts; only the decisions go in turn.
        if (indexed) terms_.start(walking_, persons, {predicted_, state_.robots, &neighbours_});
        countPopulation();
        refreshSeats(world_.environment, state_);
        if (indexed)
            terms_.decideInTurn([&](std::size_t i, const PersonTerms& terms) {
                updatePerson(persons[i], dt, &terms);
            });
        else
            for (Person& p : persons) updatePerson(p, dt, nullptr);
    } catch (const Error& e) {
        terms_.stop();
        err_ << e.what() << std::endl;
        throw;
    } catch (...) {
        terms_.stop();
        err_ << kUnknownError << std::endl;
        throw;
    }
}

void Crowd::advance(Tick now, CrowdTimer& timer) {
    forEachSubStep(timer.elapsed(now), [this](double dt) { step(dt); });
}

void Crowd::removeLeavers() {
    const double maxX = world_.environment.walls.maxX();
    const double maxY = world_.environment.walls.maxY();
    std::vector<Person>& persons = state_.persons;
    leavers_.clear();
    // remove_if applies the predicate once per person, so each leaver is noted once.
    const auto gone = std::remove_if(persons.begin(), persons.end(), [&](const Person& p) {
        const Vec2 q = p.position();
        // Written so that a NaN coordinate fails and the person goes.
        const bool inside = q.x >= 0.0 && q.y >= 0.0 && q.x <= maxX && q.y <= maxY;
        const bool leaves = !inside || hasCrossedExit(world_.environment, p);
        if (leaves) leavers_.push_back(p.id);
        return leaves;
    });
    persons.erase(gone, persons.end());
    forgetInQueues(state_, leavers_);
}

void Crowd::advancePositions(double dt) {
    for (Person& p : state_.persons) p.setPosition(p.position() + p.velocity() * dt);
}

void Crowd::admitNewcomers(double dt) {
    const std::vector<Entrance>& entrances = world_.environment.entrances;
    for (std::size_t r = 0; r < entrances.size(); ++r) {
        if (!entranceOpen_[r]) continue;
        const Entrance& entrance = entrances[r];
        if (!entrance.tick(state_.entranceCountdowns[r], dt, state_.random)) continue;
        // The draws come in this order: interval (in tick), walking rate, entry point, choice.
        Person p;
        p.id = state_.nextId++;
        p.walkingRate = GaussianRandom{rates_.mean, rates_.deviation}.draw(state_.random);
        p.setPosition(entrance.spawnPoint(state_.random));
        p.action = *world_.actions.firstFor(static_cast<int>(r));
        p.action.targetIndex = 0;
        chooser_.chooseDestination(p, state_);
        state_.persons.push_back(std::move(p));
    }
}

void Crowd::freezeSnapshot(double dt) {
    predicted_.clear();
    for (const Person& p : state_.persons)
        predicted_.push_back({p.id, p.position() + p.velocity() * dt});
    neighbours_.clear();
    if (index_.plainLoops()) return;
    for (const Predicted& q : predicted_) neighbours_.add(q.position);
    neighbours_.build();
}

void Crowd::countPopulation() {
    std::fill(state_.populations.begin(), state_.populations.end(), 0);
    for (const Predicted& q : predicted_) {
        const int i = index_.areaAt(q.position);
        if (i >= 0) ++state_.populations[static_cast<std::size_t>(i)];
    }
}

void Crowd::updatePerson(Person& p, double dt, const PersonTerms* terms) {
    if (p.dwellLeft != 0.0) {
        p.dwellLeft -= dt;
        p.setVelocity({});
        if (p.dwellLeft <= 0.0) {
            p.dwellLeft = 0.0;
            beginNextAction(p);
        }
        return;
    }
    const Snapshot snapshot{predicted_, state_.robots, terms ? &neighbours_ : nullptr};
    const auto steer = [&] {
        p.setVelocity(terms ? walking_.steer(p, state_, snapshot, *terms)
                            : walking_.steer(p, state_, snapshot));
    };
    if (chooser_.isInRouteArea(p)) RouteChooser::dropRouteFront(p);
    chooser_.repairRoute(p, state_);
    if (hasArrived(world_.environment, state_, p)) {
        p.dwellLeft = p.action.dwell.draw(state_.random);
        if (p.dwellLeft == 0.0) beginNextAction(p);
        steer();
        return;
    }
    if (p.action.kind == kSeat) {
        const int k = p.action.targetIndex;
        if (k >= 0 && static_cast<std::size_t>(k) < state_.seats.size()) {
            const SeatState& seat = state_.seats[static_cast<std::size_t>(k)];
            if (seat.occupied && seat.occupant != p.id) {
                chooser_.chooseDestination(p, state_);
                steer();
                return;
            }
        }
    }
    if (p.action.kind == kQueue &&
        (queuePlace(world_.environment, state_, p) - p.position()).length() < kQueueReach) {
        p.setVelocity({});
        return;
    }
    steer();
}

void Crowd::beginNextAction(Person& p) {
    if (p.action.kind == kQueue) leaveQueue(state_, p);
    const std::optional<Action> next = world_.actions.at(p.action.nextActionId);
    if (!next) {
        // The person stays with what it has; it arrives again and dwells again.
        reportMissingAction(p.action.nextActionId);
        return;
    }
    p.action = *next;
    p.action.targetIndex = 0;
    chooser_.chooseDestination(p, state_);
}

void Crowd::reportMissingAction(int actionId) {
    if (std::find(reportedActions_.begin(), reportedActions_.end(), actionId) !=
        reportedActions_.end())
        return;
    reportedActions_.push_back(actionId);
    err_ << "Error: Action " << actionId
         << " is not in the action table; persons keep their current action." << std::endl;
}

std::int32_t Crowd::addPerson(Person person) {
    person.id = state_.nextId++;
    state_.persons.push_back(std::move(person));
    return state_.persons.back().id;
}

}  // namespace vostrel
