#include "analytics/EventsService.hpp"

#include <cstdint>
#include <string>

#include "foundation/Logger.hpp"

namespace mvk {

EventsService::EventsService(std::shared_ptr<StateManagerProtocol> stateManager,
                             std::shared_ptr<EventControllerProtocol> eventController,
                             std::shared_ptr<EventRepositoryProtocol> eventRepository)
    : stateManager_(std::move(stateManager)),
      eventController_(std::move(eventController)),
      eventRepository_(std::move(eventRepository)) {}

bool EventsService::addEvent(const Storable& event) {
    return createEventForUser(event, *stateManager_->getActiveUser(), nullptr);
}

bool EventsService::addEvent(const Storable& event, const User& user) {
    return createEventForUser(event, user, nullptr);
}

bool EventsService::addEventWith(const Storable& event, const User* user,
                                 const std::function<bool()>& alongside) {
    return createEventForUser(event, user ? *user : *stateManager_->getActiveUser(), &alongside);
}

bool EventsService::createEventForUser(const Storable& event, const User& user,
                                       const std::function<bool()>* alongside) {
    const auto project = stateManager_->getActiveProject();
    if (!project->trackingAvailable) {
        Logger::writeLog(MVKLogLevel::debug,
                         "Event [" + event.code() + "] not created. Tracking is Disabled");
        return !alongside || (*alongside)();
    }
    const auto& exclude = project->configuration.exclude;
    if (exclude && exclude->all.value_or(false)) {
        Logger::writeLog(MVKLogLevel::info, "All events is excluded by project configuration");
        return !alongside || (*alongside)();
    }
    EventObject row(event.code(), -1, user.idKey, event.getJson());
    // With a change alongside, the event's row may not wait in an open group:
    // the change would stand on a row a failed group commit takes away.
    const bool stored = alongside ? eventRepository_->insert(row, *alongside).has_value()
                                  : eventRepository_->insert(row).has_value();
    // A row that is not in the table must not become a freeze point of the
    // A/B search: every later event would be held behind it. Nor is it
    // logged as created: the failed write has said so.
    if (stored) {
        // A record's description is long; most hosts log below info.
        if (Logger::isEnabled(MVKLogLevel::info)) {
            Logger::writeLog(MVKLogLevel::info, "Create a new event: \n" + event.description());
        }
        eventController_->processEvent(row);
    }
    isFullStack(*project, user);
    return stored;
}

void EventsService::isFullStack(const Project& project, const User& user) {
    const auto count = eventRepository_->count(user.idKey);
    if (!count) {
        Logger::writeLog(MVKLogLevel::error,
                         "The stored events can't be counted; nothing is sent for now");
        return;
    }
    // Counted before the action runs: it packs and deletes these very rows.
    if (*count >= project.configuration.countForRequest && onFullStackAction_) {
        const FullStackAction action = onFullStackAction_;
        action();
    }
}

void EventsService::removeAllEvents() {
    if (!eventRepository_->clear()) {
        Logger::writeLog(MVKLogLevel::error, "The stored events can't be removed");
    }
}

void EventsService::removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) {
    const auto userIds = User::rowIds(users);
    if (!eventRepository_->deleteForDataForUsers(userIds)) {
        Logger::writeLog(MVKLogLevel::error, "The events of removed users can't be deleted");
    }
}

}  // namespace mvk
