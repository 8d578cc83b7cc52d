#pragma once

#include <cstdint>

namespace vostrel {

// The pseudo-random sequence of the C runtime the simulator was first built on: a linear
// congruential generator giving 15-bit values. Runs are only reproducible across platforms
// when every draw comes from here, never from the host's own rand().
class CRandom {
  public:
    static constexpr int kMax = 32767;

    explicit CRandom(std::uint32_t seed = 1) : state_(seed) {}

    void srand(std::uint32_t seed) { state_ = seed; }

    int rand() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

    std::uint32_t state() const { return state_; }

  private:
    std::uint32_t state_;
};

// The calendar time in seconds, as the default seed of a run.
std::uint32_t calendarSeed();

}  // namespace vostrel
