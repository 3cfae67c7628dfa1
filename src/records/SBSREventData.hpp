#pragma once

#include <optional>
#include <string>
#include <vector>

#include "events/RestoredTransaction.hpp"

namespace mvk {

/// What the restored-transactions event is built from.
struct SBSREventData {
    std::vector<RestoredTransaction> transactions;
    /// The currency of the first stored product; absent without products.
    std::optional<std::string> currencyCode;

    bool operator==(const SBSREventData&) const = default;
};

}  // namespace mvk
