#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "state/MarkLookup.hpp"
#include "state/User.hpp"
#include "events/Location.hpp"

namespace mvk {

/// Questions about the active user and its backend identifiers, and changes
/// of user-level state. Used on the income queue.
class UserServiceProtocol {
  public:
    using LevelIsChanged = std::function<void()>;
    using UserIsChanged = std::function<void(const std::shared_ptr<User>& previousUser)>;
    using UsersIdsForDelete = std::function<void(const std::vector<std::int64_t>& userIds)>;

    virtual ~UserServiceProtocol() = default;

    virtual bool isDefaultUser() = 0;
    /// The active device row holds a backend id and its timestamp.
    virtual bool hasMorVanixIds() = 0;
    /// The backend ids have no timestamp, or it is `morvanixIdTimeout` or more away.
    virtual bool needResetMorVanixIds() = 0;
    /// Identifiers are requested at every start, whatever is stored.
    virtual bool alwaysNeedRequest() = 0;
    virtual void turnOnIdsRequest() = 0;
    virtual void replaceUserId(const std::shared_ptr<User>& user, const std::string& newId) = 0;
    /// Makes the user of `userId` active ("" for the anonymous user); tells
    /// `userIsChanged` when that is another row.
    virtual void activateUser(const std::string& userId) = 0;
    /// As above; when that is another row, `beforeSwitch` runs first, while
    /// the row left is still the active one.
    virtual void activateUser(const std::string& userId,
                              const std::function<void()>& beforeSwitch) = 0;
    virtual std::optional<std::string> getActiveUserId() = 0;
    /// Stores the level and tells `levelIsChanged`.
    virtual void setUserLevel(std::int64_t level) = 0;
    virtual std::int64_t getUserLevel() = 0;
    /// The progression in progress, at most one; replaces an open one.
    virtual void activateLocation(Location location) = 0;
    virtual std::optional<Location> getLocation() = 0;
    virtual void clearLocation(bool writeLog) = 0;
    virtual MarkLookup isTutorialStepMarked(std::int64_t step) = 0;
    /// False when the mark could not be stored.
    virtual bool markTutorialStep(std::int64_t step) = 0;
    /// The active project's other users; absent when they could not be read.
    virtual std::optional<std::vector<std::shared_ptr<User>>> getInactiveUsers() = 0;
    /// Deletes the users' rows and, once they are gone, tells
    /// `usersIdsForDelete` their row ids. False when the rows could not be
    /// deleted (none is then).
    virtual bool removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;
    /// Every user of every project; absent when they could not be read.
    virtual std::optional<std::vector<std::shared_ptr<User>>> getAllUsers() = 0;
    virtual void resourceAggregation(bool isActive) = 0;
    /// Whether the active user's balance was sent in this run (never stored).
    virtual void changeCurBalanceSentMark(bool isSent) = 0;
    virtual bool isBalanceSentForActiveUser() = 0;

    virtual LevelIsChanged levelIsChanged() const = 0;
    virtual void setLevelIsChanged(LevelIsChanged callback) = 0;
    virtual UserIsChanged userIsChanged() const = 0;
    virtual void setUserIsChanged(UserIsChanged callback) = 0;
    virtual UsersIdsForDelete usersIdsForDelete() const = 0;
    virtual void setUsersIdsForDelete(UsersIdsForDelete callback) = 0;
};

}  // namespace mvk
