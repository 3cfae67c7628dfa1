#include "analytics/ValidatorRules.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "analytics/Bounder.hpp"
#include "analytics/Validator.hpp"
#include "foundation/Logger.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

namespace {

constexpr std::string_view initializeMethod = "Initialize";
constexpr std::string_view customEventMethod = "CustomEvent";

constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr double doubleMax = std::numeric_limits<double>::max();

struct CurrencyLists {
    std::mutex mutex;
    /// The names admitted so far, first one first.
    std::array<std::vector<std::string>, 4> lists;
    /// The same names, so a call with many of them searches no list.
    std::array<std::unordered_set<std::string>, 4> admitted;
};

// Leaked on purpose: the income queue may still validate while the process exits.
CurrencyLists& currencyLists() {
    static CurrencyLists* const instance = new CurrencyLists();
    return *instance;
}

std::size_t indexOf(ValidatorRules::CurrencyList list) {
    return static_cast<std::size_t>(list);
}

/// Characters a custom event parameter's key and text value keep.
constexpr std::size_t parameterKeyLength = 32;
constexpr std::size_t parameterTextLength = 255;

bool printableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// Whether every check of a custom event parameter would pass it unchanged and
// silently. Nearly every parameter does, and it then needs neither copies nor
// the argument name of the lines it could cause; any other goes through the
// checks themselves, so their lines and results stay theirs.
bool passesUntouched(std::string_view key, const AnyCodable& value) {
    // Printable ASCII has no control characters and one character per byte.
    if (key.empty() || key.size() > parameterKeyLength || !printableAscii(key)) {
        return false;
    }
    switch (value.kind()) {
        case AnyCodable::Kind::boolean:
        case AnyCodable::Kind::integer:
            return true;
        case AnyCodable::Kind::unsignedInteger:
            return *value.asUInt() <= static_cast<std::uint64_t>(int64Max);
        case AnyCodable::Kind::floating:
            return std::isfinite(*value.asDouble());
        case AnyCodable::Kind::string: {
            const auto& text = *value.asString();
            return !text.empty() && text.size() <= parameterTextLength && printableAscii(text);
        }
        default:
            return false;
    }
}

// What the checks make of a value that passes them untouched: an unsigned
// integer in range becomes a signed one.
void untouched(AnyCodable& value) {
    if (const auto unsignedInteger = value.asUInt()) {
        value = AnyCodable(static_cast<std::int64_t>(*unsignedInteger));
    }
}

/// Runs the rule's verdict: nothing, after the cancel line, unless `valid`.
template <typename Result>
std::optional<Result> decided(std::string_view method, bool valid, Result&& result) {
    if (!valid) {
        ValidatorRules::notifyThatMethodExecutionWasCanceled(method);
        return std::nullopt;
    }
    return std::forward<Result>(result);
}

}  // namespace

std::string ValidatorRules::cleaned(std::string_view method, std::string_view argument,
                                    std::string_view text, std::size_t max) {
    return *Bounder::maxStringLength(method, argument, UnicodeText::removingControlCharacters(text),
                                     max);
}

std::optional<std::string> ValidatorRules::cleanedNonEmpty(std::string_view method,
                                                           std::string_view argument,
                                                           std::string_view text, std::size_t max) {
    std::optional<std::string> result = cleaned(method, argument, text, max);
    if (!Validator::notNullOrEmpty(method, argument, result)) {
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> ValidatorRules::validateInitializeKey(std::string_view applicationKey) {
    auto key = cleanedNonEmpty(initializeMethod, "The application key argument value",
                               applicationKey, 255);
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
    return cleanedNonEmpty(method, "The user id argument value", userId, 64);
}

std::optional<ValidatorRules::ReplaceUserIdArguments> ValidatorRules::validateReplaceUserId(
    std::string_view method, std::string_view previousUserId, std::string_view userId) {
    auto previous = cleanedNonEmpty(method, "The user id argument value", previousUserId, 64);
    auto next = cleanedNonEmpty(method, "The user id argument value", userId, 64);
    if (!previous || !next) {
        return std::nullopt;
    }
    return ReplaceUserIdArguments{std::move(*previous), std::move(*next)};
}

std::optional<AnyCodable> ValidatorRules::customEventValue(std::string_view argument,
                                                           const AnyCodable& value) {
    const auto method = customEventMethod;
    if (value.isInt()) {
        return value;
    }
    if (const auto unsignedInteger = value.asUInt()) {
        if (!Validator::inInterval(method, argument, *unsignedInteger, int64Min, int64Max)) {
            return std::nullopt;
        }
        return AnyCodable(static_cast<std::int64_t>(*unsignedInteger));
    }
    if (const auto number = value.asDouble()) {
        const bool inRange =
            Validator::inInterval(method, argument, *number, -doubleMax, doubleMax);
        const bool notNaN = Validator::validateDoubleNAN(method, argument, *number);
        return inRange && notNaN ? std::optional(value) : std::nullopt;
    }
    if (const auto* text = value.asString()) {
        auto result = cleanedNonEmpty(method, argument, *text, parameterTextLength);
        return result ? std::optional<AnyCodable>(std::move(*result)) : std::nullopt;
    }
    return value;
}

void ValidatorRules::addCustomEventParameter(std::string& key, AnyCodable& value,
                                             AnyCodable::Object& result) {
    const auto method = customEventMethod;
    if (passesUntouched(key, value)) {
        untouched(value);
        result.assign(std::move(key), std::move(value));
        return;
    }
    auto cleanKey = UnicodeText::removingControlCharacters(key);
    const auto argument =
        "The value of the parameters dictionary by [" + logged(cleanKey) + "] key";
    const bool keyPresent = Validator::notNullOrEmpty(
        method, "The key of the parameters dictionary", std::optional(cleanKey));
    const bool typed = Validator::validType(method, argument, &value);
    if (!keyPresent || !typed) {
        return;
    }
    auto cutKey =
        cleaned(method, "The key of the parameters dictionary", cleanKey, parameterKeyLength);
    if (auto checked = customEventValue(argument, value)) {
        result.assign(std::move(cutKey), std::move(*checked));
    }
}

std::optional<ValidatorRules::CustomEventArguments> ValidatorRules::validateCustomEvent(
    std::string_view name, AnyCodable::Object parameters) {
    const auto method = customEventMethod;
    auto cleanName = cleanedNonEmpty(method, "The custom event name", name, 72);
    const bool allUntouched =
        std::all_of(parameters.begin(), parameters.end(),
                    [](const auto& entry) { return passesUntouched(entry.first, entry.second); });
    AnyCodable::Object result;
    if (allUntouched) {
        // Unchanged keys stay distinct: the object is kept as it came.
        for (auto& entry : parameters) {
            untouched(entry.second);
        }
        result = std::move(parameters);
    } else {
        for (auto& [key, value] : parameters) {
            addCustomEventParameter(key, value, result);
        }
    }
    if (!cleanName) {
        notifyThatMethodExecutionWasCanceled(method);
        return std::nullopt;
    }
    return CustomEventArguments{std::move(*cleanName), std::move(result)};
}

std::optional<ValidatorRules::CurrencyAccrualArguments> ValidatorRules::validateCurrencyAccrual(
    std::string_view currencyName, std::int64_t amount, std::string_view source,
    MVKAccrualType accrualType) {
    constexpr std::string_view method = "CurrencyAccrual";
    auto name = cleanedNonEmpty(method, "The currency name", currencyName, 24);
    auto cleanSource = cleanedNonEmpty(method, "The source", source, 32);
    const bool amountValid =
        Validator::inInterval<std::int64_t>(method, "The currency amount", amount, 1, int32Max);
    // A host may cast any integer to the type; stored, any other value would
    // be left out of every accrual event and read back as earned.
    const bool typeValid = Validator::inInterval<std::int64_t>(
        method, "The accrual type", rawValue(accrualType), rawValue(MVKAccrualType::earned),
        rawValue(MVKAccrualType::bought));
    const bool valid = name && cleanSource && amountValid && typeValid;
    return decided(method, valid,
                   valid ? CurrencyAccrualArguments{*name, amount, *cleanSource, accrualType}
                         : CurrencyAccrualArguments{});
}

std::optional<ValidatorRules::VirtualCurrencyPaymentArguments>
ValidatorRules::validateVirtualCurrencyPayment(std::string_view purchaseId,
                                               std::string_view purchaseType, std::int64_t amount,
                                               const Resources& resources) {
    constexpr std::string_view method = "VirtualCurrencyPayment";
    const bool amountValid =
        Validator::inInterval<std::int64_t>(method, "The purchase amount", amount, 1, int32Max);
    auto filtered = validateResources(method, "resources dictionary", CurrencyList::virtualCurrency,
                                      resources, 1, int32Max);
    if (filtered.empty()) {
        Logger::writeLog(MVKLogLevel::error,
                         "VirtualCurrencyPayment has empty Resources dictionary!");
    }
    auto id = cleanedNonEmpty(method, "The purchase identifier", purchaseId, 32);
    auto type = cleanedNonEmpty(method, "The purchase type", purchaseType, 96);
    const bool valid = amountValid && !filtered.empty() && id && type;
    return decided(method, valid,
                   valid ? VirtualCurrencyPaymentArguments{*id, *type, amount, std::move(filtered)}
                         : VirtualCurrencyPaymentArguments{});
}

std::optional<ValidatorRules::LevelUpArguments> ValidatorRules::validateLevelUp(
    std::int64_t level, const Resources& balances) {
    constexpr std::string_view method = "LevelUp";
    const bool levelValid = Validator::inInterval<std::int64_t>(method, "The level argument value",
                                                                level, 1, 2147483646);
    auto filtered = validateResources(method, "balances dictionary", CurrencyList::levelUp,
                                      balances, int64Min, int64Max);
    return decided(method, levelValid, LevelUpArguments{level, std::move(filtered)});
}

std::optional<ValidatorRules::Resources> ValidatorRules::validateCurrentBalance(
    const Resources& balances) {
    constexpr std::string_view method = "CurrentBalance";
    auto filtered = validateResources(method, "balances dictionary", CurrencyList::currentBalance,
                                      balances, int64Min, int64Max);
    const bool valid =
        Validator::notNullOrEmpty(method, "The balance parameter value", std::optional(filtered));
    return decided(method, valid, std::move(filtered));
}

std::optional<ValidatorRules::StartProgressionArguments>
ValidatorRules::validateStartProgressionEvent(
    std::string_view eventName, const MVKStartProgressionEventParametersLocal& parameters) {
    constexpr std::string_view method = "StartProgressionEvent";
    auto name = cleanedNonEmpty(method, "The event name argument value", eventName, 40);
    MVKStartProgressionEventParametersLocal result = parameters;
    if (parameters.source) {
        result.source = cleaned(method, "The source parameter value", *parameters.source, 40);
    }
    const bool difficultyValid =
        !parameters.difficulty ||
        Validator::inInterval<std::int64_t>(method, "The difficulty parameter value",
                                            *parameters.difficulty, 0, int32Max);
    const bool valid = name && difficultyValid;
    return decided(method, valid,
                   StartProgressionArguments{valid ? *name : std::string(), std::move(result)});
}

std::optional<ValidatorRules::FinishProgressionArguments>
ValidatorRules::validateFinishProgressionEvent(
    std::string_view eventName, const MVKFinishProgressionEventParametersLocal& parameters) {
    constexpr std::string_view method = "FinishProgressionEvent";
    auto name = cleanedNonEmpty(method, "The event name argument value", eventName, 40);
    const bool durationValid = Validator::inInterval<std::int64_t>(
        method, "The duration parameter value", parameters.duration, 0, int32Max);
    MVKFinishProgressionEventParametersLocal result{
        .successfulCompletion = parameters.successfulCompletion,
        .duration = parameters.duration,
        .spent = validateResources(method, "spent dictionary", CurrencyList::finishProgression,
                                   parameters.spent, 1, int64Max),
        .earned = validateResources(method, "earned dictionary", CurrencyList::finishProgression,
                                    parameters.earned, 1, int64Max),
    };
    const bool valid = name && durationValid;
    return decided(method, valid,
                   FinishProgressionArguments{valid ? *name : std::string(), std::move(result)});
}

std::optional<ValidatorRules::RealCurrencyPaymentArguments>
ValidatorRules::validateRealCurrencyPayment(std::string_view orderId, double price,
                                            std::string_view productId,
                                            std::string_view currencyCode) {
    constexpr std::string_view method = "RealCurrencyPayment";
    std::optional<std::string> order = cleaned(method, "The order id argument value", orderId, 65);
    std::optional<std::string> product =
        cleaned(method, "The product id parameter value", productId, 255);
    const bool codeValid =
        Validator::equalStringLength(method, "The currency code parameter value",
                                     UnicodeText::removingControlCharacters(currencyCode), 3);
    const bool notNaN = Validator::validateDoubleNAN(method, "The price argument value", price);
    const bool priceInRange =
        Validator::inInterval(method, "The price argument value", price, -doubleMax, doubleMax);
    const bool orderPresent =
        Validator::notNullOrEmpty(method, "The order id argument value", order);
    const bool productPresent =
        Validator::notNullOrEmpty(method, "The product id parameter value", product);
    const bool valid = codeValid && notNaN && priceInRange && orderPresent && productPresent;
    return decided(
        method, valid,
        RealCurrencyPaymentArguments{*order, price, *product, std::string(currencyCode)});
}

std::optional<ValidatorRules::SubscriptionPaymentArguments>
ValidatorRules::validateSubscriptionPayment(std::string_view productId,
                                            std::string_view transactionId) {
    constexpr std::string_view method = "SubscriptionPayment";
    std::optional<std::string> product =
        cleaned(method, "The product id argument value", productId, 255);
    std::optional<std::string> transaction =
        cleaned(method, "The transaction id argument value", transactionId, 255);
    const bool productPresent =
        Validator::notNullOrEmpty(method, "The product id argument value", product);
    const bool transactionPresent =
        Validator::notNullOrEmpty(method, "The transaction id argument value", transaction);
    return decided(method, productPresent && transactionPresent,
                   SubscriptionPaymentArguments{*product, *transaction});
}

std::optional<std::string> ValidatorRules::validateSocialNetworkConnect(
    const MVKSocialNetworkLocal& network) {
    constexpr std::string_view method = "SocialNetworkConnect";
    auto name = cleanedNonEmpty(method, "The social network name argument value", network.name, 24);
    return decided(method, name.has_value(), name.value_or(std::string()));
}

std::optional<ValidatorRules::SocialNetworkPostArguments> ValidatorRules::validateSocialNetworkPost(
    const MVKSocialNetworkLocal& network, std::string_view reason) {
    constexpr std::string_view method = "SocialNetworkPost";
    std::optional<std::string> name =
        cleaned(method, "The social network name argument value", network.name, 24);
    std::optional<std::string> cleanReason =
        cleaned(method, "The post reason argument value", reason, 32);
    const bool namePresent =
        Validator::notNullOrEmpty(method, "The social network name argument value", name);
    const bool reasonPresent =
        Validator::notNullOrEmpty(method, "The post reason argument value", cleanReason);
    return decided(method, namePresent && reasonPresent,
                   SocialNetworkPostArguments{*name, *cleanReason});
}

std::optional<ValidatorRules::Referrer> ValidatorRules::validateReferrer(const Referrer& referrer) {
    constexpr std::string_view method = "Referrer";
    Referrer result;
    for (const auto& [property, value] : referrer) {
        const auto cleanValue = UnicodeText::removingControlCharacters(value);
        const auto argument = "The [" + logged(cleanValue) +
                              "] value of the utm data dictionary by [" + logged(property.name()) +
                              "] key";
        auto cut = cleaned(method, argument, cleanValue, 255);
        if (!cut.empty()) {
            result.insert_or_assign(property, std::move(cut));
        }
    }
    const bool valid =
        Validator::notNullOrEmpty(method, "The referrer argument value", std::optional(result));
    return decided(method, valid, std::move(result));
}

std::optional<ValidatorRules::AdImpressionArguments> ValidatorRules::validateAdImpression(
    std::string_view network, double revenue, const std::optional<std::string>& placement,
    const std::optional<std::string>& unit) {
    constexpr std::string_view method = "AdImpression";
    const auto optionalText = [&](std::string_view argument,
                                  const std::optional<std::string>& text) {
        std::optional<std::string> result;
        if (text) {
            result = cleaned(method, argument, *text, 100);
            if (result->empty()) {
                result.reset();
            }
        }
        return result;
    };
    std::optional<std::string> cleanNetwork =
        cleaned(method, "The network argument value", network, 100);
    auto cleanPlacement = optionalText("The placement argument value", placement);
    auto cleanUnit = optionalText("The unit argument value", unit);
    const bool networkPresent =
        Validator::notNullOrEmpty(method, "The network argument value", cleanNetwork);
    const bool notNaN = Validator::validateDoubleNAN(method, "The revenue argument value", revenue);
    const bool revenueInRange =
        Validator::inInterval(method, "The revenue argument value", revenue, 0.0, doubleMax);
    return decided(method, networkPresent && notNaN && revenueInRange,
                   AdImpressionArguments{*cleanNetwork, revenue, std::move(cleanPlacement),
                                         std::move(cleanUnit)});
}

ValidatorRules::Resources ValidatorRules::validateResources(std::string_view method,
                                                            std::string_view resourcesName,
                                                            CurrencyList list,
                                                            const Resources& resources,
                                                            std::int64_t min, std::int64_t max) {
    Resources result;
    const auto valueArgument = "The value of the " + std::string(resourcesName);
    for (const auto& [name, value] : resources) {
        const auto cleanName = UnicodeText::removingControlCharacters(name);
        const auto keyArgument =
            "The [" + logged(cleanName) + "] key of the " + std::string(resourcesName);
        std::optional<std::string> cut = cleaned(method, keyArgument, cleanName, 24);
        const bool namePresent = Validator::notNullOrEmpty(method, keyArgument, cut);
        const bool inRange = Validator::inInterval(method, valueArgument, value, min, max);
        if (namePresent && inRange && admitCurrency(list, *cut)) {
            result.insert_or_assign(std::move(*cut), value);
        }
    }
    return result;
}

bool ValidatorRules::admitCurrency(CurrencyList list, const std::string& name) {
    const auto limit = Validator::numberOfCurrencies();
    if (!limit) {
        return true;
    }
    auto& shared = currencyLists();
    std::lock_guard lock(shared.mutex);
    auto& names = shared.lists[indexOf(list)];
    auto& admitted = shared.admitted[indexOf(list)];
    if (admitted.contains(name)) {
        return true;
    }
    if (std::cmp_less(names.size(), *limit)) {
        names.push_back(name);
        admitted.insert(name);
        return true;
    }
    return false;
}

std::string ValidatorRules::logged(std::string_view text) {
    return UnicodeText::abbreviated(text, Bounder::loggedTextBytes);
}

void ValidatorRules::notifyThatMethodExecutionWasCanceled(std::string_view method) {
    Logger::writeLog(MVKLogLevel::error,
                     "Execution of the " + std::string(method) + " method was canceled!");
}

std::vector<std::string> ValidatorRules::currencyNames(CurrencyList list) {
    auto& shared = currencyLists();
    std::lock_guard lock(shared.mutex);
    return shared.lists[indexOf(list)];
}

void ValidatorRules::clearCurrencyValidators() {
    auto& shared = currencyLists();
    std::lock_guard lock(shared.mutex);
    for (auto& names : shared.lists) {
        names.clear();
    }
    for (auto& admitted : shared.admitted) {
        admitted.clear();
    }
}

}  // namespace mvk
