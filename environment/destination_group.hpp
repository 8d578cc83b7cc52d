#pragma once

#include <vector>

namespace vostrel {

// Destinations of one kind in insertion order, with the positions of the items of each id;
// several items may share an id and then form alternatives.
template <class T>
class DestinationGroup {
  public:
    void add(int id, const T& item) {
        if (id < 0) return;
        const auto uid = static_cast<std::size_t>(id);
        if (byId_.size() <= uid) byId_.resize(uid + 1);
        byId_[uid].push_back(static_cast<int>(items_.size()));
        items_.push_back(item);
    }

    int size() const { return static_cast<int>(items_.size()); }

    int count(int id) const {
        if (id < 0 || static_cast<std::size_t>(id) >= byId_.size()) return 0;
        return static_cast<int>(byId_[static_cast<std::size_t>(id)].size());
    }

    // Position of the k-th item with that id, -1 when there is none.
    int indexOf(int id, int k) const {
        if (k < 0 || k >= count(id)) return -1;
        return byId_[static_cast<std::size_t>(id)][static_cast<std::size_t>(k)];
    }

    // A copy of the item; a default item (id -1) for a position out of range.
    T at(int position) const {
        if (position < 0 || position >= size()) return T{};
        return items_[static_cast<std::size_t>(position)];
    }

    T get(int id, int k) const { return at(indexOf(id, k)); }

    const std::vector<T>& items() const { return items_; }

  private:
    std::vector<T> items_;
    std::vector<std::vector<int>> byId_;
};

}  // namespace vostrel
