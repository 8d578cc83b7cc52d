#include "people/run_state.hpp"

#include <algorithm>
#include <utility>

namespace vostrel {

void RunState::restart(const Environment& environment) {
    persons.clear();
    nextId = 0;
    seats.assign(static_cast<std::size_t>(environment.seats.size()), SeatState{});
    queues.assign(static_cast<std::size_t>(environment.queues.size()), {});
    populations.clear();
    robots.clear();
    entranceCountdowns.clear();
    for (const Entrance& e : environment.entrances)
        entranceCountdowns.push_back(e.interval.draw(random));
}

Person* RunState::findPerson(std::int32_t id) {
    return const_cast<Person*>(std::as_const(*this).findPerson(id));
}

const Person* RunState::findPerson(std::int32_t id) const {
    const auto it = std::lower_bound(persons.begin(), persons.end(), id,
                                     [](const Person& p, std::int32_t v) { return p.id < v; });
    return it != persons.end() && it->id == id ? &*it : nullptr;
}

}  // namespace vostrel
