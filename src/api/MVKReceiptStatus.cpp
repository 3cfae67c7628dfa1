#include "mvk/MVKReceiptStatus.hpp"

namespace mvk {

std::optional<MVKReceiptStatus> MVKReceiptStatusFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 4) {
        return std::nullopt;
    }
    return static_cast<MVKReceiptStatus>(rawValue);
}

std::string_view description(MVKReceiptStatus status) {
    switch (status) {
        case MVKReceiptStatus::valid:
            return "Receipt valid";
        case MVKReceiptStatus::notValid:
            return "Receipt not valid";
        case MVKReceiptStatus::serverError:
            return "Receipt server error";
        case MVKReceiptStatus::sandbox:
            return "Receipt sandbox";
        case MVKReceiptStatus::internalError:
            return "Receipt internal error";
    }
    return "Receipt internal error";
}

}  // namespace mvk
