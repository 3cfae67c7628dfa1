#include "backend/RequestType.hpp"

namespace mvk {

std::string_view rawValue(RequestType type) {
    return type == RequestType::GET ? "GET" : "POST";
}

std::optional<RequestType> requestTypeFromRawValue(std::string_view raw) {
    if (raw == "GET") {
        return RequestType::GET;
    }
    if (raw == "POST") {
        return RequestType::POST;
    }
    return std::nullopt;
}

}  // namespace mvk
