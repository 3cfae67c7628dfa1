#pragma once

#include <memory>
#include <string>

#include "state/Project.hpp"
#include "state/User.hpp"
#include "state/UserActivation.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

/// One user operation of `CoreManager`: the request (a user id and whether it
/// names the anonymous user) and what it resolved to so far. Made afresh for
/// each operation; call one of the two choices, then `finish`.
///
/// A user whose row could not be inserted is never chosen: the operation
/// falls back to the project's current user, or answers no user at all.
/// After a failed read of the users nothing is inserted and no user is
/// chosen.
class CoreHelper {
  public:
    CoreHelper(std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
               std::shared_ptr<UserRepositoryProtocol> userRepository,
               std::shared_ptr<Project> project, std::string userId, bool isDefault);

    /// A named request: the project's user with that id, else the current
    /// user renamed or a new user, as the project counts users. A default
    /// request keeps the current user.
    void createOrActivateUser();

    /// The anonymous user: the current one when it is anonymous, else the
    /// project's user already named by the device id, else the current user
    /// renamed or a new user, as the project counts users.
    void createOrActivateDefaultUser();

    /// Points the project at the chosen user and answers it.
    UserActivation finish();

  private:
    /// The project's active user; when it has none, the project's user with
    /// the requested id, else a new user with that id.
    const std::shared_ptr<User>& currentUser();

    /// `user` renamed to the requested id, or a new user for it, as the
    /// project's `userCounting` says.
    std::shared_ptr<User> defineUserByAccountingType(const std::shared_ptr<User>& user);

    /// The stored users; none, with `readFailed_` set, when they could not be
    /// read.
    std::vector<std::shared_ptr<User>> storedUsers();
    /// The first cached user of the project whose id is `userId`.
    std::shared_ptr<User> findProjectUser(const std::string& userId);
    std::shared_ptr<User> insertNewUser();
    void takeRequestedId(User& user);

    /// Resolves to `chosen` unless its row could not be inserted; then the
    /// current user stays.
    void choose(const std::shared_ptr<User>& chosen, const std::shared_ptr<User>& current);
    void updateProjectRepository();

    static bool isStored(const std::shared_ptr<User>& user) { return user && user->idKey >= 0; }

    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<UserRepositoryProtocol> userRepository_;
    const std::shared_ptr<Project> project_;
    const std::string userId_;
    const bool isDefault_;
    bool resetFlag_ = false;
    bool readFailed_ = false;
    std::shared_ptr<User> resolvedUser_;
};

}  // namespace mvk
