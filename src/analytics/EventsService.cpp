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
    return createEventForUser(event, *stateManager_->getActiveUser());
}

bool EventsService::addEvent(const Storable& event, const User& user) {
    return createEventForUser(event, user);
}

bool EventsService::createEventForUser(const Storable& event, const User& user) {
    const auto project = stateManager_->getActiveProject();
    if (!project->trackingAvailable) {
        Logger::writeLog(MVKLogLevel::debug,
                         "Event [" + event.code() + "] not created. Tracking is Disabled");
        return true;
    }
    const auto& exclude = project->configuration.exclude;
    if (exclude && exclude->all.value_or(false)) {
        Logger::writeLog(MVKLogLevel::info, "All events is excluded by project configuration");
        return true;
    }
    EventObject row(event.code(), -1, user.idKey, event.getJson());
    const bool stored = eventRepository_->insert(row).has_value();
    // A record's description is long; most hosts log below info.
    if (Logger::isEnabled(MVKLogLevel::info)) {
        Logger::writeLog(MVKLogLevel::info, "Create a new event: \n" + event.description());
    }
    // A row that is not in the table must not become a freeze point of the
    // A/B search: every later event would be held behind it.
    if (stored) {
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
