#pragma once

#include <optional>
#include <vector>

#include "environment/action.hpp"

namespace vostrel {

// Actions by id and, per entrance in file order, the id of its persons' first action.
class ActionTable {
  public:
    void set(int id, const Action& action);
    void addFirst(int id) { firstActions_.push_back(id); }

    int size() const { return static_cast<int>(actions_.size()); }
    bool has(int id) const { return id >= 0 && id < size(); }
    // A copy of entry id; nullopt for an id outside the table.
    std::optional<Action> at(int id) const;
    // The first action of entrance entranceIndex; nullopt when the list is too short or names
    // an action outside the table.
    std::optional<Action> firstFor(int entranceIndex) const;

    const std::vector<Action>& actions() const { return actions_; }
    const std::vector<int>& firstActions() const { return firstActions_; }

  private:
    std::vector<Action> actions_;
    std::vector<int> firstActions_;
};

}  // namespace vostrel
