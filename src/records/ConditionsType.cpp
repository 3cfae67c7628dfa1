#include "records/ConditionsType.hpp"

namespace mvk {

std::optional<ConditionsType> ConditionsTypeFromRawValue(std::string_view rawValue) {
    if (rawValue == "backend") {
        return ConditionsType::backend;
    }
    if (rawValue == "local") {
        return ConditionsType::local;
    }
    return std::nullopt;
}

}  // namespace mvk
