#include "analytics/Validator.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "analytics/Bounder.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

namespace {

struct Settings {
    std::mutex mutex;
    std::shared_ptr<const ValidatorSettingsProtocol::ExcludedOptions> excludedOptions;
    std::optional<std::int64_t> numberOfCurrencies;
};

// Leaked on purpose: the income queue may still validate while the process exits.
Settings& settings() {
    static Settings* const instance = new Settings();
    return *instance;
}

constexpr std::string_view typeLine =
    "\n\tParameter must be of a valid type (Bool, Int, Double, String).";

}  // namespace

void Validator::setExcludedOptions(std::optional<ExcludedOptions> excludedOptions) {
    std::shared_ptr<const ExcludedOptions> snapshot;
    if (excludedOptions) {
        snapshot = std::make_shared<const ExcludedOptions>(std::move(*excludedOptions));
    }
    auto& shared = settings();
    std::lock_guard lock(shared.mutex);
    std::swap(shared.excludedOptions, snapshot);
}

void Validator::setNumberOfCurrencies(std::int64_t numberOfCurrencies) {
    auto& shared = settings();
    std::lock_guard lock(shared.mutex);
    shared.numberOfCurrencies = std::max<std::int64_t>(numberOfCurrencies, 0);
}

std::shared_ptr<const Validator::ExcludedOptions> Validator::excludedOptions() {
    auto& shared = settings();
    std::lock_guard lock(shared.mutex);
    return shared.excludedOptions;
}

std::optional<std::int64_t> Validator::numberOfCurrencies() {
    auto& shared = settings();
    std::lock_guard lock(shared.mutex);
    return shared.numberOfCurrencies;
}

void Validator::resetSettingsForTesting() {
    std::shared_ptr<const ExcludedOptions> old;
    auto& shared = settings();
    std::lock_guard lock(shared.mutex);
    std::swap(shared.excludedOptions, old);
    shared.numberOfCurrencies.reset();
}

std::string Validator::errorPrefix(std::string_view method) {
    return "In the " + std::string(method) + " method an error has occurred: ";
}

bool Validator::presence(std::string_view method, std::string_view argument, bool present,
                         bool empty) {
    if (!present) {
        Logger::writeLog(MVKLogLevel::error,
                         errorPrefix(method) + "\n\t" + std::string(argument) + " is nil!");
        return false;
    }
    if (empty) {
        Logger::writeLog(MVKLogLevel::error,
                         errorPrefix(method) + "\n\t" + std::string(argument) + " is empty!");
        return false;
    }
    return true;
}

bool Validator::notNullOrEmpty(std::string_view method, std::string_view argument,
                               const std::optional<std::string>& text) {
    return presence(method, argument, text.has_value(), text && text->empty());
}

bool Validator::validType(std::string_view method, std::string_view argument,
                          const AnyCodable* value) {
    if (value == nullptr) {
        return presence(method, argument, false, false);
    }
    switch (value->kind()) {
        case AnyCodable::Kind::integer:
        case AnyCodable::Kind::unsignedInteger:
        case AnyCodable::Kind::floating:
        case AnyCodable::Kind::string:
        case AnyCodable::Kind::boolean:
            return true;
        default:
            Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + std::string(typeLine));
            return false;
    }
}

bool Validator::validType(std::string_view method, std::string_view argument,
                          const std::optional<PeopleValueType>& value) {
    // Every other kind a card value can hold is accepted.
    return presence(method, argument, value && !value->isNull(), false);
}

bool Validator::isAllExcluded(std::optional<bool> all) {
    if (!all.value_or(false)) {
        return false;
    }
    Logger::writeLog(MVKLogLevel::info, "All events is excluded by project configuration");
    return true;
}

bool Validator::isExcluded(std::string_view code, const std::optional<AnyCodable>& argument) {
    const auto options = excludedOptions();
    if (!options || options->empty()) {
        return false;
    }
    const auto found = options->find(std::string(code));
    if (found == options->end()) {
        return false;
    }
    if (found->second.empty()) {
        Logger::writeLog(MVKLogLevel::info,
                         "Event [" + std::string(code) + "] is excluded by project configuration");
        return true;
    }
    if (!argument) {
        return false;
    }
    for (const auto& value : found->second) {
        if (value == *argument) {
            Logger::writeLog(MVKLogLevel::info, "Event [" + std::string(code) + "] with [" +
                                                    argument->description() +
                                                    "] argument is excluded by project "
                                                    "configuration");
            return true;
        }
    }
    return false;
}

bool Validator::validateDoubleNAN(std::string_view method, std::string_view argument,
                                  double value) {
    if (!std::isnan(value)) {
        return true;
    }
    Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + "\n\t" + std::string(argument) +
                                             " " + "\n\tParameter cannot be NAN.");
    return false;
}

bool Validator::equalStringLength(std::string_view method, std::string_view argument,
                                  const std::optional<std::string>& text, std::size_t length) {
    if (!text) {
        return false;
    }
    if (UnicodeText::characterCount(*text, length + 1) == length) {
        return true;
    }
    Logger::writeLog(MVKLogLevel::error,
                     errorPrefix(method) + "\n\t" + std::string(argument) + " is invalid" +
                         "\n\tParameter [" +
                         UnicodeText::abbreviated(*text, Bounder::loggedTextBytes) +
                         "] length must be equal to [" + std::to_string(length) + "].");
    return false;
}

}  // namespace mvk
