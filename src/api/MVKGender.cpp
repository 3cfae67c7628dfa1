#include "mvk/MVKGender.hpp"

namespace mvk {

std::optional<MVKGender> MVKGenderFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 2) {
        return std::nullopt;
    }
    return static_cast<MVKGender>(rawValue);
}

std::string_view description(MVKGender gender) {
    switch (gender) {
        case MVKGender::unknown:
            return "Unknown";
        case MVKGender::male:
            return "Male";
        case MVKGender::female:
            return "Female";
    }
    return "Unknown";
}

}  // namespace mvk
