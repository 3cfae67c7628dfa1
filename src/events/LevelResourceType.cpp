#include "events/LevelResourceType.hpp"

namespace mvk {

std::optional<LevelResourceType> levelResourceTypeFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 2) {
        return std::nullopt;
    }
    return static_cast<LevelResourceType>(rawValue);
}

std::string_view description(LevelResourceType type) {
    switch (type) {
        case LevelResourceType::earned:
            return "earned";
        case LevelResourceType::bought:
            return "bought";
        case LevelResourceType::spent:
            return "spent";
    }
    return "unknown";
}

}  // namespace mvk
