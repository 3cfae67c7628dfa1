#include "mvk/MVKRemoteConfigChangeResult.hpp"

namespace mvk {

std::optional<MVKRemoteConfigChangeResult> MVKRemoteConfigChangeResultFromRawValue(
    std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 1) {
        return std::nullopt;
    }
    return static_cast<MVKRemoteConfigChangeResult>(rawValue);
}

std::string_view description(MVKRemoteConfigChangeResult result) {
    return result == MVKRemoteConfigChangeResult::success ? "SUCCESS" : "FAILURE";
}

}  // namespace mvk
