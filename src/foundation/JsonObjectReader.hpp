#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// Strict, non-throwing reads of a JSON object's members, shared by every
/// record decoder. A required member that is missing, null or of the wrong
/// type, and an optional member of the wrong type, mark the read as failed;
/// an optional member may be missing or null.
///
/// Numbers: integers accept signed values, unsigned values up to INT64_MAX and
/// integral floating values in range; bools are never numbers and numbers never
/// bools.
class JsonObjectReader {
  public:
    explicit JsonObjectReader(const nlohmann::json& value);

    /// False when the value is not an object or any read so far failed.
    bool ok() const { return ok_; }
    bool isObject() const { return object_ != nullptr; }
    /// The first failed key, for error texts ("" when none).
    const std::string& failedKey() const { return failedKey_; }

    std::optional<std::int64_t> requiredInt(std::string_view key);
    std::optional<double> requiredDouble(std::string_view key);
    std::optional<std::string> requiredString(std::string_view key);
    std::optional<bool> requiredBool(std::string_view key);
    /// Any non-null value.
    const nlohmann::json* requiredValue(std::string_view key);

    std::optional<std::int64_t> optionalInt(std::string_view key);
    std::optional<double> optionalDouble(std::string_view key);
    std::optional<std::string> optionalString(std::string_view key);
    std::optional<bool> optionalBool(std::string_view key);
    /// Any non-null value, or null when missing or null.
    const nlohmann::json* optionalValue(std::string_view key);

    /// The conversions on their own, for array elements and the like.
    static std::optional<std::int64_t> asInt(const nlohmann::json& value);
    static std::optional<double> asDouble(const nlohmann::json& value);
    static std::optional<std::string> asString(const nlohmann::json& value);
    static std::optional<bool> asBool(const nlohmann::json& value);
    /// An array whose every element is a text; one other element fails it.
    static std::optional<std::vector<std::string>> asStringList(const nlohmann::json& value);

  private:
    const nlohmann::json* member(std::string_view key) const;
    void fail(std::string_view key);

    template <class T, class Convert>
    std::optional<T> read(std::string_view key, bool required, Convert convert);

    const nlohmann::json* object_;
    bool ok_;
    std::string failedKey_;
};

}  // namespace mvk
