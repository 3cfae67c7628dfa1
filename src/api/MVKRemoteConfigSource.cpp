#include "mvk/MVKRemoteConfigSource.hpp"

namespace mvk {

std::optional<MVKRemoteConfigSource> MVKRemoteConfigSourceFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 2) {
        return std::nullopt;
    }
    return static_cast<MVKRemoteConfigSource>(rawValue);
}

std::string_view description(MVKRemoteConfigSource source) {
    switch (source) {
        case MVKRemoteConfigSource::remote:
            return "remote";
        case MVKRemoteConfigSource::defaults:
            return "defaults";
        case MVKRemoteConfigSource::empty:
            break;
    }
    return "empty";
}

}  // namespace mvk
