#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"
#include "analytics/MVKFinishProgressionEventParametersLocal.hpp"
#include "analytics/MVKSocialNetworkLocal.hpp"
#include "analytics/MVKStartProgressionEventParametersLocal.hpp"
#include "foundation/AnyCodable.hpp"
#include "mvk/MVKAccrualType.hpp"
#include "mvk/MVKReferralProperty.hpp"

namespace mvk {

/// One rule per public call: it cleans the raw arguments (control characters
/// removed, texts cut to their limit), runs every check so that every problem
/// is logged, and answers the cleaned arguments, or nothing when the call is
/// cancelled. Rules are stateless apart from the four currency lists, which
/// sit behind a lock.
class ValidatorRules {
  public:
    using Resources = std::map<std::string, std::int64_t>;
    using Referrer = std::unordered_map<MVKReferralProperty, std::string>;

    struct ReplaceUserIdArguments {
        std::string prevUserName;
        std::string userName;
        bool operator==(const ReplaceUserIdArguments&) const = default;
    };
    struct CustomEventArguments {
        std::string name;
        AnyCodable::Object params;
    };
    struct CurrencyAccrualArguments {
        std::string currencyName;
        std::int64_t currencyAmount;
        std::string source;
        MVKAccrualType accrualType;
        bool operator==(const CurrencyAccrualArguments&) const = default;
    };
    struct VirtualCurrencyPaymentArguments {
        std::string purchaseId;
        std::string purchaseType;
        std::int64_t purchaseAmount;
        Resources resources;
        bool operator==(const VirtualCurrencyPaymentArguments&) const = default;
    };
    struct LevelUpArguments {
        std::int64_t level;
        Resources balances;
        bool operator==(const LevelUpArguments&) const = default;
    };
    struct StartProgressionArguments {
        std::string eventName;
        MVKStartProgressionEventParametersLocal parameters;
    };
    struct FinishProgressionArguments {
        std::string eventName;
        MVKFinishProgressionEventParametersLocal parameters;
    };
    struct RealCurrencyPaymentArguments {
        std::string orderId;
        double price;
        std::string productId;
        /// As the caller gave it: only its length is checked.
        std::string currencyCode;
        bool operator==(const RealCurrencyPaymentArguments&) const = default;
    };
    struct SubscriptionPaymentArguments {
        std::string productId;
        std::string transactionId;
        bool operator==(const SubscriptionPaymentArguments&) const = default;
    };
    struct SocialNetworkPostArguments {
        std::string name;
        std::string reason;
        bool operator==(const SocialNetworkPostArguments&) const = default;
    };
    struct AdImpressionArguments {
        std::string network;
        double revenue;
        std::optional<std::string> placement;
        std::optional<std::string> unit;
        bool operator==(const AdImpressionArguments&) const = default;
    };

    ValidatorRules() = delete;

    static std::optional<std::string> validateInitializeKey(std::string_view applicationKey);
    /// Never cancels: an invalid user id or level is dropped from the copy.
    static std::optional<MVKAnalyticsConfigurationLocal> validateInitialize(
        std::optional<MVKAnalyticsConfigurationLocal> configuration);
    /// An empty id is answered unchanged; the caller writes the cancel line.
    static std::optional<std::string> validateUserId(std::string_view method,
                                                     const std::string& userId);
    /// Both ids must be non-empty; the caller writes the cancel line.
    static std::optional<ReplaceUserIdArguments> validateReplaceUserId(
        std::string_view method, std::string_view previousUserId, std::string_view userId);

    /// Parameters are taken in the caller's order; a bad one is dropped, the
    /// rest go on. Two keys equal after cleaning keep the later value.
    static std::optional<CustomEventArguments> validateCustomEvent(std::string_view name,
                                                                   AnyCodable::Object parameters);
    static std::optional<CurrencyAccrualArguments> validateCurrencyAccrual(
        std::string_view currencyName, std::int64_t amount, std::string_view source,
        MVKAccrualType accrualType);
    static std::optional<VirtualCurrencyPaymentArguments> validateVirtualCurrencyPayment(
        std::string_view purchaseId, std::string_view purchaseType, std::int64_t amount,
        const Resources& resources);
    static std::optional<LevelUpArguments> validateLevelUp(std::int64_t level,
                                                           const Resources& balances);
    static std::optional<Resources> validateCurrentBalance(const Resources& balances);
    static std::optional<StartProgressionArguments> validateStartProgressionEvent(
        std::string_view eventName, const MVKStartProgressionEventParametersLocal& parameters);
    static std::optional<FinishProgressionArguments> validateFinishProgressionEvent(
        std::string_view eventName, const MVKFinishProgressionEventParametersLocal& parameters);
    static std::optional<RealCurrencyPaymentArguments> validateRealCurrencyPayment(
        std::string_view orderId, double price, std::string_view productId,
        std::string_view currencyCode);
    static std::optional<SubscriptionPaymentArguments> validateSubscriptionPayment(
        std::string_view productId, std::string_view transactionId);
    static std::optional<std::string> validateSocialNetworkConnect(
        const MVKSocialNetworkLocal& network);
    static std::optional<SocialNetworkPostArguments> validateSocialNetworkPost(
        const MVKSocialNetworkLocal& network, std::string_view reason);
    static std::optional<Referrer> validateReferrer(const Referrer& referrer);
    /// An empty placement or unit becomes none without a line.
    static std::optional<AdImpressionArguments> validateAdImpression(
        std::string_view network, double revenue, const std::optional<std::string>& placement,
        const std::optional<std::string>& unit);

    static void notifyThatMethodExecutionWasCanceled(std::string_view method);

    /// The currency names a rule has let through since the SDK last stopped,
    /// at most `Validator::numberOfCurrencies()` per list.
    enum class CurrencyList { virtualCurrency, levelUp, currentBalance, finishProgression };
    static std::vector<std::string> currencyNames(CurrencyList list);
    static void clearCurrencyValidators();

    /// What a log line repeats of a host's text in brackets: only a head of a
    /// hostile one (a key of a megabyte would make a line of a megabyte).
    static std::string logged(std::string_view text);

    /// Control characters removed, then cut to `max` characters (logged).
    static std::string cleaned(std::string_view method, std::string_view argument,
                               std::string_view text, std::size_t max);

  private:
    /// `cleaned`, and then non-empty.
    static std::optional<std::string> cleanedNonEmpty(std::string_view method,
                                                      std::string_view argument,
                                                      std::string_view text, std::size_t max);
    static Resources validateResources(std::string_view method, std::string_view resourcesName,
                                       CurrencyList list, const Resources& resources,
                                       std::int64_t min, std::int64_t max);
    /// True when the list holds `name` or still has room for it (then it is added).
    static bool admitCurrency(CurrencyList list, const std::string& name);
    /// The checked and cleaned value of one custom-event parameter, or none.
    static std::optional<AnyCodable> customEventValue(std::string_view argument,
                                                      const AnyCodable& value);
    /// Adds the checked parameter to `result`, replacing an equal cleaned key.
    static void addCustomEventParameter(std::string& key, AnyCodable& value,
                                        AnyCodable::Object& result);
};

}  // namespace mvk
