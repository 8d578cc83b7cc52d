#pragma once

#include <cstddef>
#include <vector>

#include <tbb/enumerable_thread_specific.h>

#include "people/neighbour_grid.hpp"
#include "people/person.hpp"
#include "people/walking_model.hpp"

namespace vostrel {

// Works out the terms of every person against a step's snapshot before the persons decide in
// turn, spread over the threads the process allows (see CrowdThreads). Each person's terms
// depend on nothing another person's work changes, so the result is the same for any count.
class PersonTermsPass {
  public:
    // For each person who will steer this step (the dwelling do not); the snapshot must have an
    // index, which the pass queries from several threads at once.
    void run(const WalkingModel& walking, const std::vector<Person>& persons,
             const Snapshot& snapshot);
    // The terms of the person at index i in the list run() was given.
    const PersonTerms& of(std::size_t i) const { return terms_[i]; }

  private:
    std::vector<PersonTerms> terms_;  // kept between steps so that their buffers stay
    tbb::enumerable_thread_specific<NeighbourGrid::Scratch> scratch_;
};

}  // namespace vostrel
