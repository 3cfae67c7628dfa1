#include "mvk/MVKTrackingStatus.hpp"

namespace mvk {

std::optional<MVKTrackingStatus> MVKTrackingStatusFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 2) {
        return std::nullopt;
    }
    return static_cast<MVKTrackingStatus>(rawValue);
}

std::string_view description(MVKTrackingStatus status) {
    switch (status) {
        case MVKTrackingStatus::unknown:
            return "UNKNOWN";
        case MVKTrackingStatus::enable:
            return "ENABLE";
        case MVKTrackingStatus::disable:
            return "DISABLE";
    }
    return "UNKNOWN";
}

}  // namespace mvk
