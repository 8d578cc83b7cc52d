#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vostrel {

// For each ray of a fan, the items (walls or persons, by position in their list) that may meet
// it, in list order. Items are added with the range of rays they cover; buffers keep their
// storage from scan to scan.
class RayBuckets {
  public:
    void reset(std::size_t rays);
    // Adds the item to rays first..last (clamped to the fan). Items must come in list order.
    void add(std::uint32_t item, std::int64_t first, std::int64_t last);
    // Files what was added; then items() may be read.
    void finish();
    std::span<const std::uint32_t> items(std::size_t ray) const {
        return std::span<const std::uint32_t>(entries_).subspan(start_[ray],
                                                                start_[ray + 1] - start_[ray]);
    }

  private:
    struct Range {
        std::uint32_t item;
        std::uint32_t first;
        std::uint32_t last;
    };
    std::size_t rays_ = 0;
    std::vector<Range> ranges_;
    std::vector<std::uint32_t> start_;
    std::vector<std::uint32_t> entries_;
};

}  // namespace vostrel
