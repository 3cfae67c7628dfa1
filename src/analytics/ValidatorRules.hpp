#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

namespace mvk {

/// One rule per public call: it cleans the raw arguments (control characters
/// removed, texts cut to their limit), logs every problem and answers the
/// cleaned arguments, or nothing when the call is cancelled. Rules run on the
/// income queue only.
class ValidatorRules {
  public:
    ValidatorRules() = delete;

    static std::optional<std::string> validateInitializeKey(std::string_view applicationKey);
    /// Never cancels: an invalid user id or level is dropped from the copy.
    static std::optional<MVKAnalyticsConfigurationLocal> validateInitialize(
        std::optional<MVKAnalyticsConfigurationLocal> configuration);
    /// An empty id is answered unchanged; the caller writes the cancel line.
    static std::optional<std::string> validateUserId(std::string_view method,
                                                     const std::string& userId);

    static void notifyThatMethodExecutionWasCanceled(std::string_view method);

    /// The currency names the payment, level-up, balance and progression
    /// rules have let through since the SDK last stopped; stopping empties them.
    static std::vector<std::string> virtualCurrencyValidator;
    static std::vector<std::string> levelUpValidator;
    static std::vector<std::string> currentBalanceValidator;
    static std::vector<std::string> finishProgressionValidator;
    static void clearCurrencyValidators();

  private:
    static std::optional<std::string> cleaned(std::string_view method, std::string_view argument,
                                              std::string_view text, std::size_t max);
};

}  // namespace mvk
