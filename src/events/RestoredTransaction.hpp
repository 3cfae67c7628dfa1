#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// The transactions of one product found when the purchase history was
/// restored: an element of the "sbsr" event and of the stored subscription
/// state.
struct RestoredTransaction {
    /// Written under "productID", capital D.
    std::string productID;
    std::vector<std::string> transactionIds;

    /// {"productID", "transactionIds"}
    nlohmann::ordered_json toJson() const;
    /// Both keys are required; every id must be a text.
    static std::optional<RestoredTransaction> fromJson(const nlohmann::json& value);

    bool operator==(const RestoredTransaction&) const = default;
};

}  // namespace mvk
