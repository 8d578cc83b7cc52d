#pragma once

#include "environment/destination_group.hpp"

namespace vostrel {

// The item at a group position by reference, or a default item (id -1, at the origin, zero
// line) when the position is out of range; avoids copying destinations on hot paths.
template <class T>
const T& itemAt(const DestinationGroup<T>& group, int position) {
    static const T none{};
    if (position < 0 || position >= group.size()) return none;
    return group.items()[static_cast<std::size_t>(position)];
}

}  // namespace vostrel
