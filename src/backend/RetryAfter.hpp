#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The body of a 202 answer to identification: ask again after this many
/// milliseconds.
struct RetryAfter {
    std::int64_t retryAfter = 0;

    /// "retryAfter" (an integer) is required. `error`, when given, receives
    /// the reason of a failure.
    static std::optional<RetryAfter> fromJson(const nlohmann::json& json,
                                              std::string* error = nullptr);
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const RetryAfter&, const RetryAfter&) = default;
};

}  // namespace mvk
