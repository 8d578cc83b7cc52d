#include "environment/area_lookup.hpp"

#include "environment/error.hpp"

namespace vostrel {

int indexAt(const SubareaList& list, double x, double y) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].contains(x, y)) return static_cast<int>(i);
    return -1;
}

int idAt(const SubareaList& list, double x, double y) {
    const int i = indexAt(list, x, y);
    return i < 0 ? -1 : list[static_cast<std::size_t>(i)].id();
}

Subarea subareaAt(const SubareaList& list, double x, double y) {
    const int i = indexAt(list, x, y);
    if (i < 0) throw Error(kOutOfSubareas);
    return list[static_cast<std::size_t>(i)];
}

}  // namespace vostrel
