#include "state/CoreHelper.hpp"

#include <utility>

#include "foundation/Logger.hpp"

namespace mvk {

CoreHelper::CoreHelper(std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                       std::shared_ptr<UserRepositoryProtocol> userRepository,
                       std::shared_ptr<Project> project, std::string userId, bool isDefault)
    : projectRepository_(std::move(projectRepository)),
      userRepository_(std::move(userRepository)),
      project_(std::move(project)),
      userId_(std::move(userId)),
      isDefault_(isDefault) {}

void CoreHelper::createOrActivateUser() {
    if (isDefault_) {
        return;
    }
    if (auto existing = findProjectUser(userId_)) {
        resolvedUser_ = std::move(existing);
        return;
    }
    const auto current = currentUser();
    if (!current) {
        return;
    }
    choose(defineUserByAccountingType(current), current);
}

void CoreHelper::createOrActivateDefaultUser() {
    const auto current = currentUser();
    if (!current || current->isDefaultUser) {
        return;
    }
    // The anonymous user may already have a row of its own (a named user was
    // active in between): a second row for the same id would break the
    // table's (projectId, userId) rule, and the library would run on a user
    // that was never stored.
    if (current->userId != userId_) {
        if (auto existing = findProjectUser(userId_)) {
            resolvedUser_ = std::move(existing);
            resetFlag_ = true;
            return;
        }
    }
    choose(defineUserByAccountingType(current), current);
}

UserActivation CoreHelper::finish() {
    const auto user = currentUser();
    if (readFailed_) {
        Logger::writeLog(MVKLogLevel::error, "The users could not be read; no user was activated");
        return {};
    }
    if (!isStored(user)) {
        Logger::writeLog(MVKLogLevel::error, "The user could not be saved and was not activated");
        return {};
    }
    updateProjectRepository();
    return {user, resetFlag_};
}

const std::shared_ptr<User>& CoreHelper::currentUser() {
    if (resolvedUser_ || readFailed_) {
        return resolvedUser_;
    }
    if (project_->activeUserId) {
        for (const auto& user : storedUsers()) {
            if (user && user->idKey == *project_->activeUserId) {
                resolvedUser_ = user;
                return resolvedUser_;
            }
        }
    }
    // Reusing a row for the id keeps a lost active mark from inserting a
    // duplicate that the table refuses.
    resolvedUser_ = findProjectUser(userId_);
    if (!resolvedUser_ && !readFailed_) {
        resolvedUser_ = insertNewUser();
    }
    return resolvedUser_;
}

std::shared_ptr<User> CoreHelper::defineUserByAccountingType(const std::shared_ptr<User>& user) {
    if (!project_->configuration.userCounting) {
        // One user per project: the one row follows the host's id.
        if (user->userId == userId_) {
            return user;
        }
        takeRequestedId(*user);
        userRepository_->update(user);
        return user;
    }
    // One user per user id; the anonymous user becomes the first named one.
    if (user->isDefaultUser) {
        takeRequestedId(*user);
        userRepository_->update(user);
        return user;
    }
    if (user->userId == userId_) {
        return user;
    }
    return insertNewUser();
}

std::vector<std::shared_ptr<User>> CoreHelper::storedUsers() {
    auto users = userRepository_->list();
    if (!users) {
        readFailed_ = true;
        return {};
    }
    return std::move(*users);
}

std::shared_ptr<User> CoreHelper::findProjectUser(const std::string& userId) {
    for (const auto& user : storedUsers()) {
        if (user && user->projectId == project_->idKey && user->userId == userId) {
            return user;
        }
    }
    return nullptr;
}

std::shared_ptr<User> CoreHelper::insertNewUser() {
    // The user may be stored already; a second row would split its data.
    if (readFailed_) {
        return nullptr;
    }
    auto user = std::make_shared<User>(project_->idKey, userId_, isDefault_);
    userRepository_->insert(user);
    return user;
}

void CoreHelper::takeRequestedId(User& user) {
    user.previousUserId = user.userId;
    user.userId = userId_;
    user.isDefaultUser = isDefault_;
}

void CoreHelper::choose(const std::shared_ptr<User>& chosen, const std::shared_ptr<User>& current) {
    if (isStored(chosen) || chosen == current) {
        resolvedUser_ = chosen;
        resetFlag_ = true;
        return;
    }
    Logger::writeLog(MVKLogLevel::error,
                     "The new user could not be saved; the current user stays active");
    resolvedUser_ = current;
}

void CoreHelper::updateProjectRepository() {
    const auto& user = currentUser();
    if (!project_->activeUserId || *project_->activeUserId != user->idKey) {
        project_->activeUserId = user->idKey;
        projectRepository_->update(project_);
        resetFlag_ = true;
    }
}

}  // namespace mvk
