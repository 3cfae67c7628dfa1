#pragma once

#include <optional>
#include <string>

namespace mvk {

/// A promotional offer of a subscription product.
struct MVKStoreProductDiscount {
    /// Offers without an identifier are not reported.
    std::optional<std::string> identifier;
    double price = 0;
};

}  // namespace mvk
