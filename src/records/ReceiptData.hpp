#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The receipt inside a verification request.
struct ReceiptData {
    /// The host's receipt text unchanged, or the base64 text of the receipt file.
    std::string receiptData{};
    /// Always empty: the gateway holds the shared secret.
    std::string password{};

    /// {"receipt-data": ..., "password": ...}
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const ReceiptData&, const ReceiptData&) = default;
};

}  // namespace mvk
