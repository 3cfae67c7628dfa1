#pragma once

#include <memory>

#include "state/User.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The rows of "users" of every project; callers filter `list()` by project.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class UserRepositoryProtocol : public RepositoryProtocol<std::shared_ptr<User>> {};

}  // namespace mvk
