#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mvk/Export.hpp"

namespace mvk {

/// The verdict on a purchase receipt.
enum class MVKReceiptStatus : std::int64_t {
    valid = 0,
    notValid = 1,
    /// The gateway refused the request.
    serverError = 2,
    /// A receipt of the App Store's test environment.
    sandbox = 3,
    /// The request could not be completed (no answer, or one cut short),
    /// something went wrong on the device, or the answer could not be read.
    internalError = 4,
};

/// The case for a raw value, or none outside 0...4.
MVK_EXPORT std::optional<MVKReceiptStatus> MVKReceiptStatusFromRawValue(std::int64_t rawValue);

constexpr std::int64_t rawValue(MVKReceiptStatus status) {
    return static_cast<std::int64_t>(status);
}

/// "Receipt valid", "Receipt not valid", "Receipt server error", "Receipt
/// sandbox" or "Receipt internal error"; a value outside the table prints as
/// "Receipt internal error".
MVK_EXPORT std::string_view description(MVKReceiptStatus status);

}  // namespace mvk
