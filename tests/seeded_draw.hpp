#pragma once

#include <cstdint>
#include <random>

#include "environment/vec2.hpp"

namespace vostrel::test {

// Random cases for comparing a fast path with its plain loop: the same seed gives the same
// cases on every platform (std::mt19937_64 is fully specified; the conversions are ours).
class SeededDraw {
  public:
    explicit SeededDraw(std::uint64_t seed) : g_(seed) {}
    double uniform(double lo, double hi) { return lo + (hi - lo) * ((g_() >> 11) * 0x1p-53); }
    template <class N>
    N below(N n) {
        return static_cast<N>(g_() % static_cast<std::uint64_t>(n));
    }
    Vec2 point(double size) { return {uniform(0, size), uniform(0, size)}; }

  private:
    std::mt19937_64 g_;
};

}  // namespace vostrel::test
