#include "analytics/ValidatorRules.hpp"

#include <cstdint>

#include "analytics/Bounder.hpp"
#include "analytics/Validator.hpp"
#include "foundation/Logger.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

namespace {
constexpr std::string_view initializeMethod = "Initialize";
}

std::vector<std::string> ValidatorRules::virtualCurrencyValidator;
std::vector<std::string> ValidatorRules::levelUpValidator;
std::vector<std::string> ValidatorRules::currentBalanceValidator;
std::vector<std::string> ValidatorRules::finishProgressionValidator;

std::optional<std::string> ValidatorRules::cleaned(std::string_view method,
                                                   std::string_view argument, std::string_view text,
                                                   std::size_t max) {
    auto result = Bounder::maxStringLength(method, argument,
                                           UnicodeText::removingControlCharacters(text), max);
    if (!Validator::notNullOrEmpty(method, argument, result)) {
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> ValidatorRules::validateInitializeKey(std::string_view applicationKey) {
    auto key = cleaned(initializeMethod, "The application key argument value", applicationKey, 255);
    if (!key) {
        notifyThatMethodExecutionWasCanceled(initializeMethod);
    }
    return key;
}

std::optional<MVKAnalyticsConfigurationLocal> ValidatorRules::validateInitialize(
    std::optional<MVKAnalyticsConfigurationLocal> configuration) {
    if (!configuration) {
        return configuration;
    }
    if (configuration->userId) {
        configuration->userId = validateUserId(initializeMethod, *configuration->userId);
    }
    if (configuration->level &&
        !Validator::inInterval<std::int64_t>(initializeMethod, "The current level argument value",
                                             *configuration->level, 1, 2147483646)) {
        configuration->level.reset();
    }
    return configuration;
}

std::optional<std::string> ValidatorRules::validateUserId(std::string_view method,
                                                          const std::string& userId) {
    if (userId.empty()) {
        return userId;
    }
    return cleaned(method, "The user id argument value", userId, 64);
}

void ValidatorRules::notifyThatMethodExecutionWasCanceled(std::string_view method) {
    Logger::writeLog(MVKLogLevel::error,
                     "Execution of the " + std::string(method) + " method was canceled!");
}

void ValidatorRules::clearCurrencyValidators() {
    virtualCurrencyValidator.clear();
    levelUpValidator.clear();
    currentBalanceValidator.clear();
    finishProgressionValidator.clear();
}

}  // namespace mvk
