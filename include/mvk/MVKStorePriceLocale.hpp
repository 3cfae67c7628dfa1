#pragma once

#include <optional>
#include <string>

namespace mvk {

/// The locale a store product is priced in.
struct MVKStorePriceLocale {
    /// The locale's name, such as "en_US" or "de_DE@currency=EUR".
    std::string identifier;
    /// "US"; absent (or empty) when the store does not say: the region is
    /// then taken from `identifier`.
    std::optional<std::string> regionCode;
    /// "USD"; absent (or empty) when the store does not say: the currency is
    /// then taken from an "@currency=" keyword of `identifier`.
    std::optional<std::string> currencyCode;
};

}  // namespace mvk
