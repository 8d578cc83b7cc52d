#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <tbb/enumerable_thread_specific.h>
#include <tbb/task_group.h>

#include "people/neighbour_grid.hpp"
#include "people/person.hpp"
#include "people/walking_model.hpp"

namespace vostrel {

// Works out the terms of every person against a step's snapshot while the persons decide in
// turn, spread over the threads the process allows (see CrowdThreads). A person's terms depend
// only on that person, who changes only in its own decision, and on the frozen snapshot; so
// other threads may work out persons further on while the deciding thread goes through them in
// order, and the result is the same for any count of threads.
class PersonTermsPass {
  public:
    PersonTermsPass() = default;
    PersonTermsPass(const PersonTermsPass&) = delete;
    PersonTermsPass& operator=(const PersonTermsPass&) = delete;
    ~PersonTermsPass() { stop(); }

    // Other threads begin to work out the terms of persons (the dwelling have none). Everything
    // given must stay as it is, but for the decisions below, until decideInTurn() or stop()
    // returns. The snapshot must have an index, which the threads query at once.
    void start(const WalkingModel& walking, const std::vector<Person>& persons,
               const Snapshot& snapshot);
    // Calls decide(i, terms) for i = 0, 1, ... in order on this thread, each once the terms of
    // persons[i] are ready (empty for a person who dwells). decide may change persons[i] and
    // shared state the terms do not read, but no other person.
    void decideInTurn(const std::function<void(std::size_t, const PersonTerms&)>& decide);
    // Stops the other threads after their current persons and waits for them; for a step that
    // ends early. Does nothing when nothing runs.
    void stop() noexcept;

  private:
    bool takeAndWorkOut();
    void workOut(std::size_t chunk);

    const WalkingModel* walking_ = nullptr;
    const std::vector<Person>* persons_ = nullptr;
    Snapshot snapshot_;
    std::size_t chunks_ = 0;          // 0: everything is worked out on the deciding thread
    std::vector<PersonTerms> terms_;  // kept between steps so that their buffers stay
    tbb::enumerable_thread_specific<NeighbourGrid::Scratch> scratch_;
    tbb::task_group helpers_;
    bool running_ = false;
    // Chunks of persons: the next one nobody has taken yet, and which are ready.
    std::atomic<std::size_t> taken_{0};
    std::atomic<bool> failed_{false};  // a helper ran out of memory
    std::unique_ptr<std::atomic<bool>[]> ready_;
    std::size_t readyCapacity_ = 0;
};

}  // namespace vostrel
