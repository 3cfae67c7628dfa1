#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "events/PeopleValueType.hpp"
#include "foundation/AnyCodable.hpp"
#include "foundation/Logger.hpp"
#include "state/ValidatorSettingsProtocol.hpp"

namespace mvk {

/// Argument checks that write one uniform level-2 line when they fail.
/// `method` names the public call, `argument` what is checked.
///
/// The checks are static and stateless apart from the two configuration
/// settings, which a `Validator` object receives from the project service.
/// Setters of the public API run checks on host threads while the income
/// queue applies a new configuration, so the settings are process-wide
/// snapshots behind a lock, and never destroyed at exit.
class Validator final : public ValidatorSettingsProtocol {
  public:
    Validator() = default;

    /// Replaces the process-wide exclusions.
    void setExcludedOptions(std::optional<ExcludedOptions> excludedOptions) override;
    /// Replaces the process-wide currency limit; a negative count is 0.
    void setNumberOfCurrencies(std::int64_t numberOfCurrencies) override;

    /// The exclusions last set; null while none are.
    static std::shared_ptr<const ExcludedOptions> excludedOptions();
    /// The currency limit last set, never negative; none until the first
    /// configuration is applied.
    static std::optional<std::int64_t> numberOfCurrencies();
    /// Back to the state of a fresh process.
    static void resetSettingsForTesting();

    /// The head of every failure line.
    static std::string errorPrefix(std::string_view method);

    /// min <= value <= max; a NaN is neither below nor above, so it passes.
    /// Integers of mixed signedness compare by value (an unsigned value above
    /// INT64_MAX is greater than every signed bound).
    template <typename Value, typename Min, typename Max>
    static bool inInterval(std::string_view method, std::string_view argument, Value value, Min min,
                           Max max) {
        if (less(value, min)) {
            Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + "\n\t" +
                                                     std::string(argument) + " [" + print(value) +
                                                     "] is less than the min [" + print(min) +
                                                     "] permitted value!");
            return false;
        }
        if (less(max, value)) {
            Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + "\n\t" +
                                                     std::string(argument) + " [" + print(value) +
                                                     "] is greater than the max [" + print(max) +
                                                     "] permitted value!");
            return false;
        }
        return true;
    }

    /// A present, non-empty text.
    static bool notNullOrEmpty(std::string_view method, std::string_view argument,
                               const std::optional<std::string>& text);
    /// A present map or list with at least one element.
    template <typename Collection>
    requires(!std::is_convertible_v<Collection, std::string_view>) static bool notNullOrEmpty(
        std::string_view method, std::string_view argument,
        const std::optional<Collection>& collection) {
        return presence(method, argument, collection.has_value(),
                        collection && collection->empty());
    }

    /// A flag, integer, double or text; null, lists and objects are refused
    /// with the type line, a missing value with the nil line.
    static bool validType(std::string_view method, std::string_view argument,
                          const AnyCodable* value);
    /// The user-card kinds: also a gender. The null marker counts as missing.
    static bool validType(std::string_view method, std::string_view argument,
                          const std::optional<PeopleValueType>& value);

    /// The stored configuration excludes every event (logged).
    static bool isAllExcluded(std::optional<bool> all);
    /// The configuration excludes the event `code`, whole or for this argument
    /// (logged). Without an argument a list of values never excludes.
    static bool isExcluded(std::string_view code, const std::optional<AnyCodable>& argument);

    /// False, with a line, for NaN only; infinities pass.
    static bool validateDoubleNAN(std::string_view method, std::string_view argument, double value);
    /// Exactly `length` characters; a missing text is false without a line.
    static bool equalStringLength(std::string_view method, std::string_view argument,
                                  const std::optional<std::string>& text, std::size_t length);

  private:
    static bool presence(std::string_view method, std::string_view argument, bool present,
                         bool empty);

    template <typename A, typename B>
    static bool less(A lhs, B rhs) {
        if constexpr (std::is_integral_v<A> && std::is_integral_v<B>) {
            return std::cmp_less(lhs, rhs);
        } else {
            return lhs < rhs;
        }
    }

    /// Integers in decimal, doubles in the shortest form that reads back.
    template <typename Number>
    static std::string print(Number value) {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    }
};

}  // namespace mvk
