#include "mvk/MVKRemoteConfig.hpp"

#include <string>
#include <variant>

#include "abtest/RemoteConfigStore.hpp"
#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"
#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

namespace {

constexpr double maxWait = 1.7976931348623157e308;

/// Both checks run, so the host sees every reason at once.
bool acceptWait(std::string_view method, double value, double minimum) {
    const bool isNumber = Validator::validateDoubleNAN(method, "newValue", value);
    const bool inRange = Validator::inInterval(method, "newValue", value, minimum, maxWait);
    if (!isNumber || !inRange) {
        ValidatorRules::notifyThatMethodExecutionWasCanceled(method);
        return false;
    }
    return true;
}

/// Changes the current core's start-up data unless that core is initialised
/// (answers false then). A core that a `destroy` retires under the call is
/// not changed: its successor is.
template <class Change>
bool changeInitialData(Change change) {
    return Core::withLiveCore([&](Core& core) {
        if (core.isInitialized()) {
            return false;
        }
        auto data = core.abTestInitialData();
        change(data);
        core.setAbTestInitialData(data);
        return true;
    });
}

void refuseAfterInitialize(std::string_view refusal) {
    Logger::writeLog(MVKLogLevel::warning, std::string("[A/B-Test Module] ") +
                                               std::string(refusal) +
                                               " can't be changed after SDK has been initialized");
}

/// Refused once the core is initialised; the other settings keep their
/// values, and the test-experiment flag is cleared.
template <class Change>
void changeWait(std::string_view method, std::string_view refusal, double value, double minimum,
                Change change) {
    // The refusal comes before the value's own lines.
    if (Core::shared()->isInitialized()) {
        refuseAfterInitialize(refusal);
        return;
    }
    if (!acceptWait(method, value, minimum)) {
        return;
    }
    if (!changeInitialData([&](ABTestInitalData& data) {
            change(data, value);
            data.cacheTestExperiment = false;
        })) {
        refuseAfterInitialize(refusal);
    }
}

MVKRemoteConfigParameters cleanDefaults(const MVKRemoteConfigParameters& defaults) {
    MVKRemoteConfigParameters clean;
    for (const auto& [key, value] : defaults) {
        if (const auto* text = std::get_if<std::string>(&value)) {
            clean[Utf8::sanitized(key)] = Utf8::sanitized(*text);
        } else {
            clean[Utf8::sanitized(key)] = value;
        }
    }
    return clean;
}

}  // namespace

double MVKRemoteConfig::remoteConfigWaiting() noexcept {
    double value = 0.0;
    callGuarded("remoteConfigWaiting",
                [&] { value = Core::shared()->abTestInitialData().abConfigWaiting; });
    return value;
}

void MVKRemoteConfig::setRemoteConfigWaiting(double newValue) noexcept {
    callGuarded("setRemoteConfigWaiting", [&] {
        changeWait("setRemoteConfigWaiting", "RemoteConfigWaiting", newValue, 0.0,
                   [](ABTestInitalData& data, double value) { data.abConfigWaiting = value; });
    });
}

double MVKRemoteConfig::groupDefinitionWaiting() noexcept {
    double value = 10.0;
    callGuarded("groupDefinitionWaiting",
                [&] { value = Core::shared()->abTestInitialData().abGroupWaiting; });
    return value;
}

void MVKRemoteConfig::setGroupDefinitionWaiting(double newValue) noexcept {
    callGuarded("setGroupDefinitionWaiting", [&] {
        changeWait("setGroupDefinitionWaiting", "GroupDefinitionWaiting", newValue, 0.1,
                   [](ABTestInitalData& data, double value) { data.abGroupWaiting = value; });
    });
}

void MVKRemoteConfig::cacheTestExperiment() noexcept {
    callGuarded("cacheTestExperiment", [] {
        if (!changeInitialData([](ABTestInitalData& data) { data.cacheTestExperiment = true; })) {
            Logger::writeLog(MVKLogLevel::warning,
                             "[A/B-Test Module] CacheTestExperiment can't be called after SDK has "
                             "been initialized");
        }
    });
}

MVKRemoteConfigParameters MVKRemoteConfig::defaults() noexcept {
    MVKRemoteConfigParameters value;
    callGuarded("defaults", [&] { value = RemoteConfigStore::shared().defaults(); });
    return value;
}

void MVKRemoteConfig::setDefaults(const MVKRemoteConfigParameters& defaults) noexcept {
    callGuarded("setDefaults", [&] {
        auto& store = RemoteConfigStore::shared();
        store.setDefaults(cleanDefaults(defaults));
        // After the store's lock: the core's queue may be where a new core is
        // being made, and that core seeds its cache from the store.
        store.seed(Core::shared()->abTestDefaultParamsCache());
        Logger::writeLog(MVKLogLevel::info, "[A/B-Test Module] Default parameters were applied");
    });
}

std::shared_ptr<MVKRemoteConfigCollection> MVKRemoteConfig::config() noexcept {
    return RemoteConfigStore::shared().config();
}

void MVKRemoteConfig::applyConfig() noexcept {
    callGuarded("applyConfig", [] {
        auto& proxy = Core::abTestProxy();
        proxy.tryStartInvolvedExperiment();
        // Read before the store's lock: the proxy logs, and a log closure may
        // read the collection.
        const auto config = proxy.getConfig();
        const bool overlaid = RemoteConfigStore::shared().apply(config);
        Logger::writeLog(MVKLogLevel::info,
                         overlaid ? "[A/B-Test Module] Remote parameters were applied"
                                  : "[A/B-Test Module] Default parameters were applied");
    });
}

void MVKRemoteConfig::resetConfig() noexcept {
    callGuarded("resetConfig", [] {
        Core::abTestProxy().resetConfig();
        RemoteConfigStore::shared().reset();
        Logger::writeLog(MVKLogLevel::info, "[A/B-Test Module] Default parameters were applied");
    });
}

}  // namespace mvk
