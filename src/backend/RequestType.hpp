#pragma once

#include <optional>
#include <string_view>

namespace mvk {

enum class RequestType { GET, POST };

/// "GET" or "POST".
std::string_view rawValue(RequestType type);

/// The case whose raw text is exactly `raw`, or nothing.
std::optional<RequestType> requestTypeFromRawValue(std::string_view raw);

}  // namespace mvk
