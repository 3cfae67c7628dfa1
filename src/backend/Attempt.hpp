#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

namespace mvk {

/// The body of an identification request: which attempt this is, counted by
/// the caller, so the gateway can tell a retry from a first call.
struct Attempt {
    std::int64_t attempt = 1;

    /// {"attempt": n}
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const Attempt&, const Attempt&) = default;
};

}  // namespace mvk
