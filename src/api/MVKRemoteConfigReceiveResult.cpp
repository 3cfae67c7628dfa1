#include "mvk/MVKRemoteConfigReceiveResult.hpp"

namespace mvk {

std::optional<MVKRemoteConfigReceiveResult> MVKRemoteConfigReceiveResultFromRawValue(
    std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 1) {
        return std::nullopt;
    }
    return static_cast<MVKRemoteConfigReceiveResult>(rawValue);
}

std::string_view description(MVKRemoteConfigReceiveResult result) {
    return result == MVKRemoteConfigReceiveResult::success ? "SUCCESS" : "FAILURE";
}

}  // namespace mvk
