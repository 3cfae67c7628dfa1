#include "mvk/MVKAccrualType.hpp"

namespace mvk {

std::optional<MVKAccrualType> MVKAccrualTypeFromRawValue(std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 1) {
        return std::nullopt;
    }
    return static_cast<MVKAccrualType>(rawValue);
}

std::string_view description(MVKAccrualType type) {
    switch (type) {
        case MVKAccrualType::earned:
            return "earned";
        case MVKAccrualType::bought:
            return "bought";
    }
    return "unknown";
}

}  // namespace mvk
