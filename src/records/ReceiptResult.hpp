#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The gateway's answer to a receipt verification.
struct ReceiptResult {
    /// Free text of the gateway, handed to the host unchanged.
    std::optional<std::string> verificationResult{};
    /// The verdict; meant to be 0 to 4, but the gateway may send anything.
    std::optional<std::int64_t> status{};

    /// Both keys may be missing or null; a present one must have its type.
    /// Other keys are ignored.
    static std::optional<ReceiptResult> fromJson(const nlohmann::json& json);

    /// "\tverificationResult: <text>\n" when there is a text, then
    /// "\tstatus: <n>" when there is a status.
    std::string description() const;

    friend bool operator==(const ReceiptResult&, const ReceiptResult&) = default;
};

}  // namespace mvk
