#include "records/DecodingError.hpp"

namespace mvk {

void DecodingError::describe(const JsonObjectReader& reader, std::string_view type,
                             std::string* error) {
    if (error == nullptr) {
        return;
    }
    if (!reader.isObject()) {
        *error = std::string(type) + ": expected a JSON object";
        return;
    }
    *error = std::string(type) + ": the value of \"" + reader.failedKey() +
             "\" is missing or has the wrong type";
}

void DecodingError::describe(std::string_view type, std::string* error) {
    if (error != nullptr) {
        *error = std::string(type) + ": the answer does not have the expected form";
    }
}

std::string DecodingError::noBody() {
    return "The answer has no body";
}

std::string DecodingError::notJson(std::string_view reason) {
    return "The answer is not valid JSON: " + std::string(reason);
}

}  // namespace mvk
