#include "mvk/MVKEngineWrapper.hpp"

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "foundation/SdkConstraints.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/Utf8.hpp"

namespace mvk {

void MVKEngineWrapper::destroySDK() noexcept {
    callGuarded("destroySDK", [] { Core::destroy(); });
}

void MVKEngineWrapper::setSDKVersion(const std::string& version) noexcept {
    callGuarded("setSDKVersion", [&] { SdkConstraints::setSdkVersion(Utf8::sanitized(version)); });
}

void MVKEngineWrapper::enableEditorMode() noexcept {
    callGuarded("enableEditorMode", [] { Core::shared()->setEditorMode(true); });
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

}  // namespace mvk
