#include "mvk/UnrealBridge.hpp"

#include <utility>

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {

std::string hostForm(const MessagingCategory& category) noexcept {
    try {
        const auto json = category.toJson();
        if (json.is_object()) {
            return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        }
    } catch (...) {
    }
    return "{}";
}

MVKLogLevel engineLevel(std::int64_t level) {
    switch (level) {
        case 1:
            return MVKLogLevel::error;
        case 2:
            return MVKLogLevel::warning;
        case 3:
            return MVKLogLevel::info;
        default:
            return MVKLogLevel::debug;
    }
}

}  // namespace

void UnrealBridge::getMessagingCategories(MessagingCategoriesCompletion completion) noexcept {
    callGuarded("getMessagingCategories", [&] {
        Core::messagingProxy().getPushCategories([completion = std::move(completion)](
                                                     const std::vector<MessagingCategory>& list) {
            std::vector<std::string> texts;
            texts.reserve(list.size());
            for (const auto& category : list) {
                texts.push_back(hostForm(category));
            }
            if (completion) {
                callGuarded("The getMessagingCategories completion", [&] { completion(texts); });
            }
        });
    });
}

void UnrealBridge::sendPushToken(const std::string& token, bool isAllowed) noexcept {
    callGuarded("sendPushToken", [&] { Core::messagingProxy().pushToken(token, isAllowed); });
}

void UnrealBridge::sendPushOpened(std::int64_t timestamp, std::int64_t pushId,
                                  MVKOptionalText button) noexcept {
    callGuarded("sendPushOpened",
                [&] { Core::messagingProxy().pushOpened(timestamp, pushId, button.value()); });
}

void UnrealBridge::sendLogMessage(std::int64_t level, const std::string& message) noexcept {
    callGuarded("sendLogMessage",
                [&] { Logger::writeLog(engineLevel(level), Utf8::sanitized(message)); });
}

bool UnrealBridge::isAnalyticsInited() noexcept {
    bool initialized = false;
    callGuarded("isAnalyticsInited", [&] { initialized = Core::isCurrentInitialized(); });
    return initialized;
}

}  // namespace mvk
