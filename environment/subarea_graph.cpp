#include "environment/subarea_graph.hpp"

#include <algorithm>
#include <unordered_map>

namespace vostrel {

SubareaGraph::SubareaGraph(const SubareaList& list) {
    const int n = static_cast<int>(list.size());
    // Ids need not be unique: a link names an id, and reaches every subarea that has it.
    std::unordered_map<int, std::vector<int>> positionsOf;
    for (int c = 0; c < n; ++c) positionsOf[list[static_cast<std::size_t>(c)].id()].push_back(c);

    std::vector<std::vector<int>> from(list.size());
    std::vector<std::vector<int>> to(list.size());
    for (int a = 0; a < n; ++a) {
        for (const SubareaLink& link : list[static_cast<std::size_t>(a)].links()) {
            const auto found = positionsOf.find(link.neighbourId);
            if (found == positionsOf.end()) continue;
            for (const int c : found->second) {
                if (c == a) continue;
                from[static_cast<std::size_t>(a)].push_back(c);
                to[static_cast<std::size_t>(c)].push_back(a);
            }
        }
    }
    const auto fill = [](Lists& out, std::vector<std::vector<int>>& lists) {
        out.starts.assign(1, 0);
        for (std::vector<int>& l : lists) {
            // Several links to one id (collinear borders) name it once.
            std::sort(l.begin(), l.end());
            l.erase(std::unique(l.begin(), l.end()), l.end());
            out.items.insert(out.items.end(), l.begin(), l.end());
            out.starts.push_back(static_cast<int>(out.items.size()));
        }
    };
    fill(from_, from);
    fill(to_, to);
}

}  // namespace vostrel
