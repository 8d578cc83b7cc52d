#include "robot/ray_buckets.hpp"

#include <algorithm>

namespace vostrel {

void RayBuckets::reset(std::size_t rays) {
    rays_ = rays;
    ranges_.clear();
}

void RayBuckets::add(std::uint32_t item, std::int64_t first, std::int64_t last) {
    first = std::max<std::int64_t>(first, 0);
    last = std::min<std::int64_t>(last, static_cast<std::int64_t>(rays_) - 1);
    if (first > last) return;
    // An item's ranges come in ascending order; overlapping ones merge so that no ray gets the
    // same item twice.
    if (!ranges_.empty() && ranges_.back().item == item && ranges_.back().last + 1 >= first) {
        ranges_.back().last = std::max(ranges_.back().last, static_cast<std::uint32_t>(last));
        return;
    }
    ranges_.push_back({item, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last)});
}

void RayBuckets::finish() {
    start_.assign(rays_ + 1, 0);
    for (const Range& r : ranges_)
        for (std::uint32_t i = r.first; i <= r.last; ++i) ++start_[i + 1];
    for (std::size_t i = 0; i < rays_; ++i) start_[i + 1] += start_[i];
    entries_.resize(start_[rays_]);
    // start_[i] serves as the fill cursor of ray i and is restored afterwards.
    for (const Range& r : ranges_)
        for (std::uint32_t i = r.first; i <= r.last; ++i) entries_[start_[i]++] = r.item;
    for (std::size_t i = rays_; i > 0; --i) start_[i] = start_[i - 1];
    start_[0] = 0;
}

}  // namespace vostrel
