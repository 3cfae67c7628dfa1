#include "mvk/MVKEngineWrapper.hpp"

#include "core/Core.hpp"
#include "foundation/Base64.hpp"
#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"
#include "foundation/Utf8.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

void MVKEngineWrapper::destroySDK() noexcept {
    callGuarded("destroySDK", [] { Core::destroy(); });
}

void MVKEngineWrapper::setSDKVersion(const std::string& version) noexcept {
    callGuarded("setSDKVersion", [&] { SdkConstraints::setSdkVersion(Utf8::sanitized(version)); });
}

void MVKEngineWrapper::enableEditorMode() noexcept {
    callGuarded("enableEditorMode",
                [] { Core::withLiveCore([](Core& core) { core.setEditorMode(true); }); });
}

void MVKEngineWrapper::testString(const std::string& value) noexcept {
    callGuarded("testString", [&] {
        // The base64 form shows the bytes the engine sent, invalid ones too.
        Logger::writeLog(MVKLogLevel::debug, "[EngineWrapper] Test string:\n\tOrigin: [" +
                                                 Utf8::sanitized(value) + "]\n\tBase64: [" +
                                                 base64Encode(value) + "]");
    });
}

MVKEngineWrapper::EngineLoggerMessageClosure
MVKEngineWrapper::engineLoggerMessageClosure() noexcept {
    EngineLoggerMessageClosure closure;
    callGuarded("engineLoggerMessageClosure",
                [&] { closure = Logger::engineLoggerMessageClosure(); });
    return closure;
}

void MVKEngineWrapper::setEngineLoggerMessageClosure(EngineLoggerMessageClosure closure) noexcept {
    callGuarded("setEngineLoggerMessageClosure",
                [&] { Logger::setEngineLoggerMessageClosure(std::move(closure)); });
}

void MVKEngineWrapper::engineSubscriptionHistory(const EngineTransactionHistory& history) noexcept {
    callGuarded("engineSubscriptionHistory",
                [&] { Core::analyticsProxy().subscriptionHistory(history); });
}

void MVKEngineWrapper::engineSubscriprtionPayment(const std::string& productId,
                                                  const std::string& transactionId) noexcept {
    callGuarded("engineSubscriprtionPayment",
                [&] { Core::analyticsProxy().subscriptionPayment(productId, transactionId); });
}

std::string MVKEngineWrapper::unitySdkFolderPath() noexcept {
    return MVKAnalytics::sdkFolderPath();
}

}  // namespace mvk
