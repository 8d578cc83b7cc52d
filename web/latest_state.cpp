#include "web/latest_state.hpp"

#include <utility>

#include "web/view_json.hpp"

namespace vostrel {

bool LatestState::offer(ViewState& state) {
    std::unique_lock lock(slotLock_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    std::swap(pending_, state);
    ++pendingNumber_;
    lock.unlock();
    offered_.notify_all();
    return true;
}

LatestState::Encoded LatestState::latest() {
    std::lock_guard encode(encodeLock_);
    {
        std::lock_guard slot(slotLock_);
        if (pendingNumber_ == encoded_.number) return encoded_;
        std::swap(pending_, scratch_);
        encoded_.number = pendingNumber_;
    }
    encoded_.json = std::make_shared<const std::string>(stateJson(scratch_));
    return encoded_;
}

bool LatestState::waitNewer(std::uint64_t seen, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(slotLock_);
    offered_.wait_until(lock, deadline, [&] { return stopped_ || pendingNumber_ > seen; });
    return !stopped_ && pendingNumber_ > seen;
}

bool LatestState::sleepUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(slotLock_);
    offered_.wait_until(lock, deadline, [&] { return stopped_; });
    return !stopped_;
}

void LatestState::stop() {
    {
        std::lock_guard lock(slotLock_);
        stopped_ = true;
    }
    offered_.notify_all();
}

bool LatestState::stopped() const {
    std::lock_guard lock(slotLock_);
    return stopped_;
}

}  // namespace vostrel
