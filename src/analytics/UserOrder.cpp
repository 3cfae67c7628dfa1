#include "analytics/UserOrder.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace mvk {

std::optional<std::vector<std::shared_ptr<User>>> usersInSendingOrder(
    StateManagerProtocol& stateManager) {
    const auto projectId = stateManager.getActiveProject()->idKey;
    auto all = stateManager.getAllUsers();
    if (!all) {
        return std::nullopt;
    }
    std::vector<std::shared_ptr<User>> users;
    for (auto& user : *all) {
        if (user && user->projectId == projectId) {
            users.push_back(std::move(user));
        }
    }
    std::stable_sort(users.begin(), users.end(), [](const auto& left, const auto& right) {
        constexpr auto none = std::numeric_limits<std::int64_t>::max();
        return left->sessionId.value_or(none) < right->sessionId.value_or(none);
    });
    return users;
}

}  // namespace mvk
