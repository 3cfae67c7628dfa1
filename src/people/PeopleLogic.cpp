#include "people/PeopleLogic.hpp"

#include <algorithm>

#include "events/CheaterMark.hpp"
#include "events/StorableEvent.hpp"
#include "events/TesterMark.hpp"
#include "foundation/Logger.hpp"
#include "people/PeopleReservedKeys.hpp"

namespace mvk {

namespace {

const std::string cheaterKey(rawValue(PeopleReservedKeys::cheater));
const std::string testerKey(rawValue(PeopleReservedKeys::tester));

/// Removes the first `key`; true when there was one.
bool takeOut(std::vector<std::string>& keys, const std::string& key) {
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end()) {
        return false;
    }
    keys.erase(found);
    return true;
}

}  // namespace

PeopleLogic::PeopleLogic(ServiceFactoryProtocol& serviceFactory)
    : activityService_(serviceFactory.activityService()),
      userService_(serviceFactory.userService()),
      peopleService_(serviceFactory.peopleService()),
      eventsService_(serviceFactory.eventsService()),
      reportService_(serviceFactory.reportService()),
      projectService_(serviceFactory.projectService()) {}

void PeopleLogic::setValue(const std::string& key, const PeopleValueType& value) {
    if (key == cheaterKey) {
        generateCheaterEvent(value.toBool());
        reportService_->sendBufferedEvents();
        return;
    }
    if (key == testerKey) {
        generateTesterEvent(value.toBool());
        reportService_->sendBufferedEvents();
        return;
    }
    peopleService_->setValue(key, value);
    // Checked on every set, also one that changed nothing, so a limit lowered
    // by the gateway takes effect at the next set.
    applyCustomKeysLimit();
}

void PeopleLogic::applyCustomKeysLimit() {
    if (peopleService_->getCustomKeyParamsCount() > projectService_->getUserCardKeysCount()) {
        if (const auto filled = peopleService_->onFilledCustomParams()) {
            filled();
        }
        peopleService_->clearCustomParams();
    }
}

void PeopleLogic::getValue(const std::string& key, const ValueCompletion& completion) {
    if (key == cheaterKey || key == testerKey) {
        if (completion) {
            completion(std::nullopt);
        }
        return;
    }
    peopleService_->getValue(key, completion);
}

void PeopleLogic::increment(const std::string& key, const PeopleValueType& value) {
    peopleService_->increment(key, value);
    applyCustomKeysLimit();
}

void PeopleLogic::unset(std::vector<std::string> properties) {
    bool generated = false;
    if (takeOut(properties, cheaterKey)) {
        generateCheaterEvent(false);
        generated = true;
    }
    if (takeOut(properties, testerKey)) {
        generateTesterEvent(false);
        generated = true;
    }
    if (generated) {
        reportService_->sendBufferedEvents();
    }
    peopleService_->unset(properties);
    // The unset markers are custom keys until they are reported.
    applyCustomKeysLimit();
}

void PeopleLogic::clearUser() {
    peopleService_->clearUser();
}

std::optional<PeopleLogic::MarkContext> PeopleLogic::markContext(std::string_view mark) {
    const auto level = userService_->getUserLevel();
    const auto sessionId = activityService_->getSessionId();
    if (!sessionId) {
        Logger::writeLog(MVKLogLevel::error,
                         "Failed to generate " + std::string(mark) + " event, sessionId is lost");
        return std::nullopt;
    }
    return MarkContext{.sessionId = *sessionId, .level = level};
}

void PeopleLogic::generateCheaterEvent(bool cheater) {
    if (const auto context = markContext("cheater")) {
        eventsService_->addEvent(StorableEvent<CheaterMark>(CheaterMark{
            .sessionId = context->sessionId, .level = context->level, .cheater = cheater}));
    }
}

void PeopleLogic::generateTesterEvent(bool tester) {
    if (const auto context = markContext("tester")) {
        eventsService_->addEvent(StorableEvent<TesterMark>(TesterMark{
            .sessionId = context->sessionId, .level = context->level, .tester = tester}));
    }
}

}  // namespace mvk
