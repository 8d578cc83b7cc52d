#include "people/person_terms_pass.hpp"

#include <tbb/blocked_range.h>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>

namespace vostrel {

namespace {
// Persons per task: enough work per task that handing tasks out costs little.
constexpr std::size_t kGrain = 16;
}  // namespace

void PersonTermsPass::run(const WalkingModel& walking, const std::vector<Person>& persons,
                          const Snapshot& snapshot) {
    if (terms_.size() < persons.size()) terms_.resize(persons.size());
    const auto work = [&](const tbb::blocked_range<std::size_t>& range) {
        NeighbourGrid::Scratch& scratch = scratch_.local();
        for (std::size_t i = range.begin(); i != range.end(); ++i)
            if (persons[i].dwellLeft == 0.0)
                walking.personTerms(persons[i], snapshot, scratch, terms_[i]);
    };
    const tbb::blocked_range<std::size_t> all(0, persons.size(), kGrain);
    // A small crowd, or a single thread, is quicker without handing out tasks at all.
    if (persons.size() <= 2 * kGrain ||
        tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism) < 2)
        work(all);
    else
        tbb::parallel_for(all, work);
}

}  // namespace vostrel
