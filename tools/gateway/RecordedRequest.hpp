#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mvk::gateway {

/// One request as the gateway received it.
struct RecordedRequest {
    std::string method;
    /// As sent, before any "?", not decoded.
    std::string path;
    /// As sent, after the "?", not decoded; empty without one.
    std::string query;
    /// Every header field with its name as sent, duplicates kept. Fields are in
    /// name order (the server does not keep arrival order); fields of the same
    /// name keep theirs. The server percent-decodes values and drops fields
    /// whose value is empty, so neither can be checked here.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    /// Milliseconds since 1970 when the request was read.
    std::int64_t receivedAtMillis = 0;

    /// Number of fields named `name`, compared without regard to case.
    std::size_t headerCount(std::string_view name) const;
    /// The first field named `name`, compared without regard to case.
    std::optional<std::string> header(std::string_view name) const;
    /// The percent-decoded value of the first `key` of the query.
    std::optional<std::string> queryValue(std::string_view key) const;
};

}  // namespace mvk::gateway
