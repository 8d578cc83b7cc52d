#pragma once

#include <span>
#include <vector>

#include "environment/area_lookup.hpp"

namespace vostrel {

// The links of a subarea list as list positions, worked out once: a route search then visits a
// subarea's few neighbours instead of testing every subarea of the list for a link. Links are
// not assumed to be symmetric; both directions are kept, each ascending.
class SubareaGraph {
  public:
    SubareaGraph() = default;
    // Reads only the links; populations may change afterwards.
    explicit SubareaGraph(const SubareaList& list);

    // Positions c != a, ascending, whose id subarea a has a link to.
    std::span<const int> linksFrom(int a) const { return range(from_, a); }
    // Positions c != a, ascending, that have a link to subarea a's id.
    std::span<const int> linksTo(int a) const { return range(to_, a); }
    std::size_t size() const { return from_.starts.empty() ? 0 : from_.starts.size() - 1; }

  private:
    struct Lists {
        std::vector<int> starts;  // of each position's list in items; one more than positions
        std::vector<int> items;
    };
    static std::span<const int> range(const Lists& l, int a) {
        const auto i = static_cast<std::size_t>(a);
        return {l.items.data() + l.starts[i], l.items.data() + l.starts[i + 1]};
    }

    Lists from_;
    Lists to_;
};

}  // namespace vostrel
