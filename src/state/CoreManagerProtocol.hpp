#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "state/Project.hpp"
#include "state/User.hpp"
#include "state/UserActivation.hpp"

namespace mvk {

/// Finds or creates the project of the application key and the users inside it.
class CoreManagerProtocol {
  public:
    virtual ~CoreManagerProtocol() = default;

    /// The project of the application key, stored on first use; null when the
    /// projects could not be read, or it is not stored and could not be.
    virtual std::shared_ptr<Project> createOrActivateProject() = 0;

    /// Chooses the user for the host's id `userId`. With `isDefault` set (the
    /// host gave no id) the project's active user stays, or an anonymous user
    /// named `userId` is made when it has none.
    virtual UserActivation createOrActivateUser(const std::string& userId,
                                                const std::shared_ptr<Project>& project,
                                                bool isDefault) = 0;

    /// Chooses the anonymous user, named by the device id `userId`.
    virtual UserActivation createOrActivateDefaultUser(const std::string& userId,
                                                       const std::shared_ptr<Project>& project) = 0;

    /// Writes the row of a user whose id the caller has replaced in place.
    virtual void replaceUserId(const std::shared_ptr<User>& user) = 0;

    /// Every stored user of every project, in cache order; absent when the
    /// users could not be read.
    virtual std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() = 0;
};

}  // namespace mvk
