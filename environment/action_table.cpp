#include "environment/action_table.hpp"

namespace vostrel {

void ActionTable::set(int id, const Action& action) {
    if (id < 0) return;
    const auto uid = static_cast<std::size_t>(id);
    if (actions_.size() <= uid) actions_.resize(uid + 1);
    actions_[uid] = action;
}

std::optional<Action> ActionTable::at(int id) const {
    if (!has(id)) return std::nullopt;
    return actions_[static_cast<std::size_t>(id)];
}

std::optional<Action> ActionTable::firstFor(int entranceIndex) const {
    if (entranceIndex < 0 || static_cast<std::size_t>(entranceIndex) >= firstActions_.size())
        return std::nullopt;
    return at(firstActions_[static_cast<std::size_t>(entranceIndex)]);
}

}  // namespace vostrel
