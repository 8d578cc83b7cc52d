#include "environment/subarea.hpp"

#include <algorithm>

namespace vostrel {

bool Subarea::isNeighbour(int id) const {
    return std::any_of(links_.begin(), links_.end(),
                       [id](const SubareaLink& l) { return l.neighbourId == id; });
}

Segment Subarea::borderWith(int id) const {
    for (const SubareaLink& l : links_)
        if (l.neighbourId == id) return l.border;
    return {};
}

const SubareaLink* Subarea::lastLinkTo(int id) const {
    for (auto it = links_.rbegin(); it != links_.rend(); ++it)
        if (it->neighbourId == id) return &*it;
    return nullptr;
}

double Subarea::passDistance(int fromId, int toId) const {
    const SubareaLink* from = lastLinkTo(fromId);
    const SubareaLink* to = lastLinkTo(toId);
    if (from == nullptr || to == nullptr) return 0.0;
    return (from->border.midpoint() - to->border.midpoint()).length();
}

std::vector<int> Subarea::neighbours() const {
    std::vector<int> ids;
    ids.reserve(links_.size());
    for (const SubareaLink& l : links_) ids.push_back(l.neighbourId);
    return ids;
}

}  // namespace vostrel
