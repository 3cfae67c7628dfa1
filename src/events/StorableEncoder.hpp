#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace mvk {

/// Turns a record's JSON value into its stored text: compact, keys in the
/// order the record inserted them, invalid UTF-8 replaced.
class StorableEncoder {
  public:
    StorableEncoder() = delete;

    /// The compact text, or "" when `json` holds a NaN or infinite number
    /// (JSON has none, and writing null would change the value). The failure
    /// is logged at level 2 with the record's debug text, which `describe`
    /// makes only then.
    static std::string encode(const nlohmann::ordered_json& json,
                              const std::function<std::string()>& describe);

    /// Why `json` cannot be written, or absent when it can.
    static std::optional<std::string> encodingError(const nlohmann::ordered_json& json);

    /// The level-2 line of a record that could not be encoded.
    static void logFailure(std::string_view description, std::string_view error);
};

}  // namespace mvk
