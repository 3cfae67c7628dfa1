#pragma once

#include <memory>

#include "state/User.hpp"

namespace mvk {

/// The outcome of choosing a project's user.
struct UserActivation {
    /// The stored user to make active; null when no user could be stored, in
    /// which case the caller keeps what it had.
    std::shared_ptr<User> user;
    /// The active user changed or took another id: the backend identifiers
    /// no longer belong to it.
    bool resetFlag = false;
};

}  // namespace mvk
