#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "records/ReceiptData.hpp"

namespace mvk {

/// The body of a receipt-verification request.
struct Receipt {
    std::string platform = "ios";
    ReceiptData receipt{};
    /// The application's bundle identifier; the key is left out without one.
    std::optional<std::string> bundle{};

    /// "platform", "receipt", then "bundle" when there is one.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const Receipt&, const Receipt&) = default;
};

}  // namespace mvk
