#pragma once

#include <cstdint>
#include <vector>

#include "environment/environment.hpp"
#include "environment/pose_2d.hpp"
#include "people/person.hpp"
#include "people/seat_state.hpp"
#include "platform/c_random.hpp"

namespace vostrel {

// Everything a run changes, as one value: the step reads a World and writes only this. The
// random sequence lives here too and is never reseeded between runs, so a component's runs
// follow one sequence from its seed on.
struct RunState {
    std::vector<Person> persons;  // in ascending id order
    std::int32_t nextId = 0;
    std::vector<SeatState> seats;                   // one per seat of the world
    std::vector<std::vector<std::int32_t>> queues;  // ids waiting at each queue, head first
    std::vector<int> populations;  // persons in each subarea of the world at the last count
    std::vector<double> entranceCountdowns;  // seconds to each entrance's next arrival
    std::vector<Pose2D> robots;              // the robots the persons keep clear of
    CRandom random;

    explicit RunState(std::uint32_t seed = 1) : random(seed) {}

    // Back to the start of a run in this environment: nobody inside, every seat free, every
    // queue empty, no robot, and each entrance's first countdown drawn in file order. These are
    // the first draws of a run and come straight after loading, before anything else draws.
    void restart(const Environment& environment);

    // The person with that id, or nullptr.
    Person* findPerson(std::int32_t id);
    const Person* findPerson(std::int32_t id) const;
};

}  // namespace vostrel
