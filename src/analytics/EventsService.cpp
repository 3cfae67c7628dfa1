#include "analytics/EventsService.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "events/EventCode.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

namespace {

/// The host's call that records each kind of event; the library's own events
/// (session, timers, device) have none.
std::string_view callOf(std::string_view code) {
    using C = EventCode;
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 19> calls = {{
        {C::trackingStatus, "setTrackingAvailability"},
        {C::tutorial, "tutorial"},
        {C::realCurrencyPayment, "realCurrencyPayment"},
        {C::virtualCurrencyPayment, "virtualCurrencyPayment"},
        {C::currencyAccrual, "currencyAccrual"},
        {C::currentBalance, "currentBalance"},
        {C::levelUp, "levelUp"},
        {C::customEvent, "customEvent"},
        {C::progressionEvent, "startProgressionEvent or finishProgressionEvent"},
        {C::socialNetworkConnect, "socialNetworkConnect"},
        {C::socialNetworkPost, "socialNetworkPost"},
        {C::referral, "referrer"},
        {C::adImpression, "adImpression"},
        {C::peopleEvent, "the user card"},
        {C::cheaterMark, "the user card's cheater mark"},
        {C::testerMark, "the user card's tester mark"},
        {C::pushToken, "the push token"},
        {C::subscriptionPayment, "subscriptionPayment"},
        {C::restoredTransactionsEvent, "subscriptionHistory"},
    }};
    for (const auto& [known, call] : calls) {
        if (known == code) {
            return call;
        }
    }
    return "the library itself";
}

/// The record's description on one line, cut short: enough to tell which
/// call of the game it was.
std::string oneLine(const std::string& description) {
    constexpr std::size_t limit = 300;
    std::string line;
    for (std::size_t at = 0; at < description.size() && line.size() < limit; ++at) {
        const char c = description[at];
        if (c == '\n') {
            line += "; ";
        } else if (c != '\t') {
            line += c;
        }
    }
    while (!line.empty() && (line.front() == ' ')) {
        line.erase(line.begin());
    }
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "; ") == 0) {
        line.resize(line.size() - 2);
    }
    return line.size() > limit ? line.substr(0, limit) + "..." : line;
}

}  // namespace

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
    if (!stored) {
        // The failed write has said why; this says what the game loses by it.
        Logger::writeLog(MVKLogLevel::error, "Event [" + event.code() + "] of " +
                                                 std::string(callOf(event.code())) +
                                                 " was not stored and will not be sent (" +
                                                 oneLine(event.description()) + ")");
    } else {
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
