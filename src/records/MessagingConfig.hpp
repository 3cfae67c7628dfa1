#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/MessagingCategory.hpp"

namespace mvk {

/// The push-categories answer: the categories in force and the ids of those
/// the host must drop.
struct MessagingConfig {
    std::int64_t version = 0;
    std::vector<MessagingCategory> categories{};
    std::optional<std::vector<std::string>> removed{};

    /// Everything sits in the object "pushCategories": "version" (an integer)
    /// is required, "categories" is required and may be null (no categories),
    /// "removed" may be missing or null. Other top-level keys are ignored.
    static std::optional<MessagingConfig> fromJson(const nlohmann::json& json);

    friend bool operator==(const MessagingConfig&, const MessagingConfig&) = default;
};

}  // namespace mvk
