#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// The active project's users in the order their events are packed and
/// sent: by session id ascending, users without one last, ties in the state
/// manager's order. Absent when the users could not be read.
std::optional<std::vector<std::shared_ptr<User>>> usersInSendingOrder(
    StateManagerProtocol& stateManager);

}  // namespace mvk
