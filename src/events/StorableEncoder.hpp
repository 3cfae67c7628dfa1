#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace mvk {

class Storable;

/// Turns a record's JSON value into its stored text: compact, keys in the
/// order the record inserted them, invalid UTF-8 replaced.
class StorableEncoder {
  public:
    StorableEncoder() = delete;

    /// The compact text, or "" when `json` holds a NaN or infinite number
    /// (JSON has none, and writing null would change the value). The failure
    /// is logged at level 2 with `record`'s debug text.
    static std::string encode(const nlohmann::ordered_json& json, const Storable& record);

    /// Why `json` cannot be written, or absent when it can.
    static std::optional<std::string> encodingError(const nlohmann::ordered_json& json);

    /// The level-2 line of a record that could not be encoded.
    static void logFailure(const Storable& record, const std::string& error);
};

}  // namespace mvk
