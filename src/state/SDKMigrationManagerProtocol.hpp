#pragma once

#include <memory>

#include "state/Project.hpp"

namespace mvk {

/// The one-time import of an earlier SDK's data, run by the state manager at
/// start-up on the income queue.
class SDKMigrationManagerProtocol {
  public:
    virtual ~SDKMigrationManagerProtocol() = default;

    /// Imports the user an earlier SDK left for this project, once: the
    /// project row remembers that it was done. Never fails to the caller.
    virtual void migrateUserData(const std::shared_ptr<Project>& project) = 0;
};

}  // namespace mvk
