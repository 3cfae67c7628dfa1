#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The body of the push-categories request: who asks, and which version of
/// the categories the project already holds.
struct MessagingRequestObject {
    std::string sdkVersion{};
    std::int64_t sdkCodeVersion = 10;
    std::string appVersion{};
    /// 0 when the project never received categories.
    std::int64_t categoriesVersion = 0;
    /// The device's language; the key is left out when there is none.
    std::optional<std::string> language{};

    nlohmann::ordered_json toJson() const;

    friend bool operator==(const MessagingRequestObject&, const MessagingRequestObject&) = default;
};

}  // namespace mvk
