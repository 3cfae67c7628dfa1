#include "messaging/MessagingLogic.hpp"

#include <utility>

#include "events/PushOpened.hpp"
#include "events/PushToken.hpp"
#include "events/StorableEvent.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

MessagingLogic::MessagingLogic(ServiceFactoryProtocol& serviceFactory)
    : activityService_(serviceFactory.activityService()),
      reportService_(serviceFactory.reportService()),
      eventsService_(serviceFactory.eventsService()),
      messagingService_(serviceFactory.messagingService()) {}

void MessagingLogic::pushToken(const std::string& token, bool isAllowed) {
    const auto sessionId = activityService_->getSessionId();
    if (!sessionId) {
        Logger::writeLog(MVKLogLevel::error,
                         "Failed to generate push token event, sessionId is lost");
        return;
    }
    eventsService_->addEvent(StorableEvent<PushToken>(
        PushToken{.sessionId = *sessionId, .isAllowed = isAllowed, .token = token}));
    reportService_->sendBufferedEvents();
}

void MessagingLogic::pushOpened(std::int64_t timestamp, std::int64_t pushId,
                                const std::optional<std::string>& button) {
    std::optional<std::int64_t> sessionId;
    if (activityService_->isValidSession()) {
        sessionId = activityService_->getSessionId();
    }
    eventsService_->addEvent(StorableEvent<PushOpened>(PushOpened{
        .timestamp = timestamp, .sessionId = sessionId, .pushId = pushId, .button = button}));
    reportService_->sendBufferedEvents();
}

void MessagingLogic::getPushCategories(CategoriesCompletion completion) {
    messagingService_->getPushCategories(std::move(completion));
}

}  // namespace mvk
