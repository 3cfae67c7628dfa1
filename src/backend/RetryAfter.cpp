#include "backend/RetryAfter.hpp"

#include "foundation/JsonObjectReader.hpp"
#include "records/DecodingError.hpp"

namespace mvk {

std::optional<RetryAfter> RetryAfter::fromJson(const nlohmann::json& json, std::string* error) {
    JsonObjectReader reader(json);
    auto value = reader.requiredInt("retryAfter");
    if (!reader.ok()) {
        DecodingError::describe(reader, "RetryAfter", error);
        return std::nullopt;
    }
    return RetryAfter{*value};
}

nlohmann::ordered_json RetryAfter::toJson() const {
    return nlohmann::ordered_json{{"retryAfter", retryAfter}};
}

}  // namespace mvk
