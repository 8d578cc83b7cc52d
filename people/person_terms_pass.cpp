#include "people/person_terms_pass.hpp"

#include <algorithm>

#include <tbb/global_control.h>

namespace vostrel {

namespace {
// Persons per chunk: enough work per chunk that handing chunks out costs little, few enough
// that the deciding thread seldom waits for the first ones.
constexpr std::size_t kGrain = 16;
}  // namespace

void PersonTermsPass::start(const WalkingModel& walking, const std::vector<Person>& persons,
                            const Snapshot& snapshot) {
    stop();
    walking_ = &walking;
    persons_ = &persons;
    snapshot_ = snapshot;
    const std::size_t n = persons.size();
    if (terms_.size() < n) terms_.resize(n);
    const auto threads =
        tbb::global_control::active_value(tbb::global_control::max_allowed_parallelism);
    // A small crowd, or a single thread, is quicker without handing out work at all.
    chunks_ = n <= 2 * kGrain || threads < 2 ? 0 : (n + kGrain - 1) / kGrain;
    if (chunks_ == 0) return;
    if (readyCapacity_ < chunks_) {
        readyCapacity_ = chunks_;
        ready_ = std::make_unique<std::atomic<bool>[]>(chunks_);
    }
    for (std::size_t c = 0; c < chunks_; ++c) ready_[c].store(false, std::memory_order_relaxed);
    taken_.store(0, std::memory_order_relaxed);
    failed_.store(false, std::memory_order_relaxed);
    running_ = true;
    // Started before the deciding thread has anything else to do, so that the time the
    // helpers take to wake up is spent on its own remaining work.
    for (std::size_t h = 1; h < threads && h < chunks_; ++h)
        helpers_.run([this] {
            while (takeAndWorkOut()) {
            }
        });
}

bool PersonTermsPass::takeAndWorkOut() {
    const std::size_t c = taken_.fetch_add(1, std::memory_order_relaxed);
    if (c >= chunks_) return false;
    workOut(c);
    return true;
}

void PersonTermsPass::workOut(std::size_t chunk) {
    const std::vector<Person>& persons = *persons_;
    try {
        NeighbourGrid::Scratch& scratch = scratch_.local();
        const std::size_t end = std::min(persons.size(), (chunk + 1) * kGrain);
        for (std::size_t i = chunk * kGrain; i < end; ++i)
            if (persons[i].dwellLeft == 0.0)
                walking_->personTerms(persons[i], snapshot_, scratch, terms_[i]);
    } catch (...) {
        // Out of memory: the deciding thread must not wait for this chunk for ever.
        failed_.store(true, std::memory_order_relaxed);
        ready_[chunk].store(true, std::memory_order_release);
        ready_[chunk].notify_all();
        throw;
    }
    ready_[chunk].store(true, std::memory_order_release);
    ready_[chunk].notify_all();
}

void PersonTermsPass::decideInTurn(
    const std::function<void(std::size_t, const PersonTerms&)>& decide) {
    const std::vector<Person>& persons = *persons_;
    const std::size_t n = persons.size();
    if (chunks_ == 0) {
        NeighbourGrid::Scratch& scratch = scratch_.local();
        for (std::size_t i = 0; i < n; ++i) {
            if (persons[i].dwellLeft == 0.0)
                walking_->personTerms(persons[i], snapshot_, scratch, terms_[i]);
            decide(i, terms_[i]);
        }
        return;
    }
    try {
        for (std::size_t c = 0; c < chunks_; ++c) {
            // Rather than wait, this thread works out chunks nobody has taken yet.
            while (!ready_[c].load(std::memory_order_acquire))
                if (!takeAndWorkOut()) ready_[c].wait(false, std::memory_order_acquire);
            if (failed_.load(std::memory_order_relaxed)) break;  // wait() below throws it
            const std::size_t end = std::min(n, (c + 1) * kGrain);
            for (std::size_t i = c * kGrain; i < end; ++i) decide(i, terms_[i]);
        }
    } catch (...) {
        stop();
        throw;
    }
    running_ = false;
    helpers_.wait();
}

void PersonTermsPass::stop() noexcept {
    if (!running_) return;
    running_ = false;
    taken_.store(chunks_, std::memory_order_relaxed);  // the helpers stop after their chunk
    try {
        helpers_.wait();
    } catch (...) {
        // A helper's failure matters no more: the step it worked for has ended already.
    }
}

}  // namespace vostrel
