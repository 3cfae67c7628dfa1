#include "backend/Attempt.hpp"

namespace mvk {

nlohmann::ordered_json Attempt::toJson() const {
    return nlohmann::ordered_json{{"attempt", attempt}};
}

}  // namespace mvk
