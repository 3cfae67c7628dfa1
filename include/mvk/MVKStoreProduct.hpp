#pragma once

#include <optional>
#include <string>
#include <vector>

#include "mvk/MVKStorePriceLocale.hpp"
#include "mvk/MVKStoreProductDiscount.hpp"

namespace mvk {

/// A product as the store offers it.
struct MVKStoreProduct {
    std::string productIdentifier;
    double price = 0;
    MVKStorePriceLocale priceLocale;
    /// The introductory offer's price, when the product has one.
    std::optional<double> introductoryPrice;
    std::vector<MVKStoreProductDiscount> discounts;
};

}  // namespace mvk
