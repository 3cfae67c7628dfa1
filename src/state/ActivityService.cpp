#include "state/ActivityService.hpp"

#include <utility>

#include "state/SaturatingTime.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

ActivityService::ActivityService(std::shared_ptr<StateManagerProtocol> stateManager,
                                 std::shared_ptr<UserRepositoryProtocol> userRepository)
    : stateManager_(std::move(stateManager)), userRepository_(std::move(userRepository)) {}

bool ActivityService::continuesSession(const User& user, std::int64_t now) const {
    // Without a session id there is nothing to continue: going on would drop
    // every session event and keep the user from ever stopping an activity.
    if (!user.lastBackgroundTime || !user.sessionId) {
        return false;
    }
    const Config& config = stateManager_->getActiveProject()->configuration;
    // Signed on purpose: a background time in the future still counts as recent.
    return saturatingDifference(now, *user.lastBackgroundTime) <= config.sessionTimeout;
}

void ActivityService::updateLastBackgroundTime() {
    if (!isActive_) {
        return;
    }
    const auto user = stateManager_->getActiveUser();
    user->lastBackgroundTime = Clock::nowMillis();
    userRepository_->update(user);
}

std::optional<std::int64_t> ActivityService::getSessionId() {
    return stateManager_->getActiveUser()->sessionId;
}

std::optional<bool> ActivityService::startActivity() {
    if (isActive_) {
        Logger::writeLog(MVKLogLevel::debug, "Activity has already started");
        return std::nullopt;
    }
    const auto user = stateManager_->getActiveUser();
    const std::int64_t now = Clock::nowMillis();
    user->lastForegroundTime = now;
    if (continuesSession(*user, now)) {
        // The new foreground time reaches the row with the user's next write.
        isActive_ = true;
        return false;
    }
    user->sessionId = now;
    user->lastBackgroundTime = now;
    userRepository_->update(user);
    isActive_ = true;
    return true;
}

bool ActivityService::isValidSession() {
    return continuesSession(*stateManager_->getActiveUser(), Clock::nowMillis());
}

std::optional<std::int64_t> ActivityService::stopActivity() {
    if (!isActive_) {
        return std::nullopt;
    }
    const auto user = stateManager_->getActiveUser();
    const std::int64_t now = Clock::nowMillis();
    if (!user->lastForegroundTime) {
        Logger::writeLog(MVKLogLevel::error, "LastForegroundTime is lost!");
        // Nothing is recorded: a background time now could let a user that
        // never had a session "continue" one at the next start.
        isActive_ = false;
        return std::nullopt;
    }
    const std::int64_t elapsed = saturatingDifference(now, *user->lastForegroundTime);
    // Floored like the seconds it measures; a clock set back meanwhile gives a
    // negative length, which callers take as no engagement.
    std::int64_t length = elapsed / 1000;
    if (elapsed % 1000 != 0 && elapsed < 0) {
        --length;
    }
    user->lastBackgroundTime = now;
    userRepository_->update(user);
    isActive_ = false;
    return length;
}

}  // namespace mvk
