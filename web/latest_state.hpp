#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "web/view_state.hpp"

namespace vostrel {

// The hand-over from the cycle to the live view: one slot with the newest state. The cycle
// never waits on it; a state offered while a server thread holds the slot for an instant is
// skipped, like every state a viewer is too slow for. Each state is encoded once, on a server
// thread, however many viewers take it.
class LatestState {
  public:
    struct Encoded {
        std::uint64_t number = 0;  // 0: nothing offered yet
        std::shared_ptr<const std::string> json;
    };

    // Cycle thread. Puts state into the slot and hands back the slot's previous content, so
    // that its buffers are reused; false (state untouched) when the slot is busy.
    bool offer(ViewState& state);

    // Server threads. The newest state, encoded.
    Encoded latest();
    // Until a state newer than number `seen` was offered (true), the deadline or stop().
    bool waitNewer(std::uint64_t seen, std::chrono::steady_clock::time_point deadline);
    // Until the deadline (true) or stop().
    bool sleepUntil(std::chrono::steady_clock::time_point deadline);
    // Wakes every waiting thread for good.
    void stop();
    bool stopped() const;

  private:
    mutable std::mutex slotLock_;  // guards the three below; held for a swap only
    std::condition_variable offered_;
    ViewState pending_;
    std::uint64_t pendingNumber_ = 0;
    bool stopped_ = false;

    std::mutex encodeLock_;  // guards encoded_ and scratch_; the cycle never takes it
    Encoded encoded_;
    ViewState scratch_;
};

}  // namespace vostrel
