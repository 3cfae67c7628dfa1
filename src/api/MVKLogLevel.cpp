#include "mvk/MVKLogLevel.hpp"

namespace mvk {

std::optional<MVKLogLevel> MVKLogLevelFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 5) {
        return std::nullopt;
    }
    return static_cast<MVKLogLevel>(rawValue);
}

std::string_view description(MVKLogLevel level) {
    switch (level) {
        case MVKLogLevel::unknown:
            return "UNKNOWN";
        case MVKLogLevel::no:
            return "NO";
        case MVKLogLevel::error:
            return "ERROR";
        case MVKLogLevel::warning:
            return "WARNING";
        case MVKLogLevel::info:
            return "INFO";
        case MVKLogLevel::debug:
            return "DEBUG";
    }
    return "UNKNOWN";
}

}  // namespace mvk
