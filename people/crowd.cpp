#include "people/crowd.hpp"

#include <algorithm>
#include <ostream>
#include <utility>

#include "environment/error.hpp"
#include "people/destination_item.hpp"

namespace vostrel {

namespace {
constexpr const char* kUnknownError = "Error: Unknown error.";
}  // namespace

Crowd::Crowd(const Environment& environment, const ActionTable& actions, SubareaList subareas,
             double rateMean, double rateDeviation, CRandom& rng, std::ostream& err)
    : environment_(environment),
      actions_(actions),
      rng_(rng),
      err_(err),
      rateMean_(rateMean),
      rateDeviation_(rateDeviation),
      subareas_(std::move(subareas)),
      seats_(static_cast<std::size_t>(environment.seats.size())),
      queues_(static_cast<std::size_t>(environment.queues.size())),
      entrances_(environment.entrances),
      wallGrid_(environment.walls.all()),
      areaIndex_(subareas_) {
    // Checked once here so that a broken file is named once and never read out of range later.
    entranceOpen_.reserve(entrances_.size());
    for (std::size_t r = 0; r < entrances_.size(); ++r) {
        const bool open = actions_.firstFor(static_cast<int>(r)).has_value();
        if (!open)
            err_ << "Error: Entrance " << entrances_[r].id
                 << " has no first action; nobody enters there." << std::endl;
        entranceOpen_.push_back(open);
    }
}

void Crowd::step(double dt) {
    try {
        removeLeavers();
        advancePositions(dt);
        admitNewcomers(dt);
        predict(dt);
        countPopulation();
        refreshSeats();
        for (Person& person : persons_) updatePerson(person, dt);
    } catch (const Error& e) {
        err_ << e.what() << std::endl;
        throw;
    } catch (...) {
        err_ << kUnknownError << std::endl;
        throw;
    }
}

void Crowd::advanceCrowd(Tick now, CrowdTimer& timer) {
    forEachSubStep(timer.elapsed(now), [this](double dt) { step(dt); });
}

void Crowd::removeLeavers() {
    const double maxX = environment_.walls.maxX();
    const double maxY = environment_.walls.maxY();
    leavers_.clear();
    // remove_if applies the predicate once per person, so each leaver is noted once.
    const auto gone = std::remove_if(persons_.begin(), persons_.end(), [&](const Person& p) {
        const Vec2 q = p.position();
        // Written so that a NaN coordinate fails and the person goes.
        const bool inside = q.x >= 0.0 && q.y >= 0.0 && q.x <= maxX && q.y <= maxY;
        const bool leaves = !inside || hasCrossedExit(p);
        if (leaves) leavers_.push_back(p.id);
        return leaves;
    });
    persons_.erase(gone, persons_.end());
    if (leavers_.empty()) return;
    // Queue places are computed from the positions of the persons ahead, so a queue list must
    // never keep the id of somebody who is gone.
    for (std::vector<std::int32_t>& list : queues_)
        std::erase_if(list, [&](std::int32_t id) {
            return std::find(leavers_.begin(), leavers_.end(), id) != leavers_.end();
        });
}

void Crowd::advancePositions(double dt) {
    for (Person& p : persons_) p.setPosition(p.position() + p.velocity() * dt);
}

void Crowd::admitNewcomers(double dt) {
    for (std::size_t r = 0; r < entrances_.size(); ++r) {
        if (!entranceOpen_[r]) continue;
        Entrance& entrance = entrances_[r];
        if (!entrance.tick(dt, rng_)) continue;
        // The draws come in this order: interval (in tick), walking rate, entry point, choice.
        Person p;
        p.id = nextId_++;
        p.walkingRate = GaussianRandom{rateMean_, rateDeviation_}.draw(rng_);
        p.setPosition(entrance.spawnPoint(rng_));
        p.action = *actions_.firstFor(static_cast<int>(r));
        p.action.targetIndex = 0;
        chooseDestination(p);
        persons_.push_back(std::move(p));
    }
}

void Crowd::predict(double dt) {
    predicted_.clear();
    for (const Person& p : persons_) predicted_.push_back({p.id, p.position() + p.velocity() * dt});
    neighbours_.clear();
    if (plainLoops_) return;
    for (const Predicted& q : predicted_) neighbours_.add(q.position);
    neighbours_.build();
}

void Crowd::countPopulation() {
    resetPopulation(subareas_);
    for (const Predicted& q : predicted_) {
        const int i = areaAt(q.position);
        if (i >= 0)
            subareas_[static_cast<std::size_t>(i)].setPopulation(subarea(i).population() + 1);
    }
}

void Crowd::refreshSeats() {
    for (std::size_t k = 0; k < seats_.size(); ++k) {
        SeatState& seat = seats_[k];
        if (!seat.occupied) continue;
        const Person* occupant = findPerson(seat.occupant);
        const Vec2 at = itemAt(environment_.seats, static_cast<int>(k)).position();
        if (occupant == nullptr || (at - occupant->position()).length() > kSeatReach)
            seat.occupied = false;
    }
}

void Crowd::updatePerson(Person& p, double dt) {
    if (p.dwellLeft != 0.0) {
        p.dwellLeft -= dt;
        p.setVelocity({});
        if (p.dwellLeft <= 0.0) {
            p.dwellLeft = 0.0;
            beginNextAction(p);
        }
        return;
    }
    if (isInRouteArea(p)) dropRouteFront(p);
    repairRoute(p);
    if (hasArrived(p)) {
        p.dwellLeft = p.action.dwell.draw(rng_);
        if (p.dwellLeft == 0.0) beginNextAction(p);
        steerInStep(p);
        return;
    }
    if (p.action.kind == kSeat) {
        const SeatState* seat = seatState(p.action.targetIndex);
        if (seat != nullptr && seat->occupied && seat->occupant != p.id) {
            chooseDestination(p);
            steerInStep(p);
            return;
        }
    }
    if (p.action.kind == kQueue && (queuePlace(p) - p.position()).length() < kQueueReach) {
        p.setVelocity({});
        return;
    }
    steerInStep(p);
}

void Crowd::beginNextAction(Person& p) {
    if (p.action.kind == kQueue) leaveQueue(p);
    const std::optional<Action> next = actions_.at(p.action.nextActionId);
    if (!next) {
        // The person stays with what it has; it arrives again and dwells again.
        reportMissingAction(p.action.nextActionId);
        return;
    }
    p.action = *next;
    p.action.targetIndex = 0;
    chooseDestination(p);
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
    person.id = nextId_++;
    persons_.push_back(std::move(person));
    return persons_.back().id;
}

int Crowd::areaAt(Vec2 p) const {
    return plainLoops_ ? indexAt(subareas_, p.x, p.y) : areaIndex_.indexAt(subareas_, p.x, p.y);
}

Person* Crowd::findPerson(std::int32_t id) {
    return const_cast<Person*>(std::as_const(*this).findPerson(id));
}

const Person* Crowd::findPerson(std::int32_t id) const {
    const auto it = std::lower_bound(persons_.begin(), persons_.end(), id,
                                     [](const Person& p, std::int32_t v) { return p.id < v; });
    return it != persons_.end() && it->id == id ? &*it : nullptr;
}

std::vector<std::int32_t>* Crowd::queueList(int k) {
    return k >= 0 && static_cast<std::size_t>(k) < queues_.size()
               ? &queues_[static_cast<std::size_t>(k)]
               : nullptr;
}

const std::vector<std::int32_t>* Crowd::queueList(int k) const {
    return k >= 0 && static_cast<std::size_t>(k) < queues_.size()
               ? &queues_[static_cast<std::size_t>(k)]
               : nullptr;
}

SeatState* Crowd::seatState(int k) {
    return k >= 0 && static_cast<std::size_t>(k) < seats_.size()
               ? &seats_[static_cast<std::size_t>(k)]
               : nullptr;
}

Vec2 Crowd::queueTail(int k) const {
    const Segment& line = itemAt(environment_.queues, k).line();
    const std::vector<std::int32_t>* list = queueList(k);
    if (list == nullptr || list->empty()) return line.origin;
    const Person* last = findPerson(list->back());
    return last != nullptr ? last->position() + line.direction : line.origin;
}

Vec2 Crowd::queuePlace(const Person& p) const {
    if (p.action.kind != kQueue) return {};
    const int k = p.action.targetIndex;
    const Segment& line = itemAt(environment_.queues, k).line();
    const std::vector<std::int32_t>* list = queueList(k);
    if (list != nullptr && !list->empty() && list->front() != p.id) {
        const auto me = std::find(list->begin(), list->end(), p.id);
        const std::int32_t ahead = me == list->end() ? list->back() : *(me - 1);
        if (const Person* a = findPerson(ahead)) return a->position() + line.direction;
    }
    return line.origin;
}

void Crowd::leaveQueue(const Person& p) {
    if (std::vector<std::int32_t>* list = queueList(p.action.targetIndex)) std::erase(*list, p.id);
}

}  // namespace vostrel
