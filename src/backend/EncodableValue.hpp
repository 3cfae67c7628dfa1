#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>

namespace mvk {

namespace detail {
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
}  // namespace detail

/// A record that writes itself as JSON: `toJson()` gives an ordered JSON value,
/// or an optional one that is absent when the record cannot be written.
template <class T>
concept JsonRecord = requires(const T& record) {
    {record.toJson()};
}
&&(std::convertible_to<decltype(std::declval<const T&>().toJson()), nlohmann::ordered_json> ||
   detail::IsOptional<decltype(std::declval<const T&>().toJson())>::value);

/// Any value that can become a request body: a JSON value or a record with
/// `toJson()`. Copies share the value they hold.
class EncodableValue {
  public:
    /// JSON null.
    EncodableValue();
    EncodableValue(nlohmann::ordered_json value);

    template <class J>
    requires std::same_as<J, nlohmann::json> EncodableValue(const J& value)
        : EncodableValue(nlohmann::ordered_json(value)) {}

    template <JsonRecord T>
    EncodableValue(T record) {
        auto held = std::make_shared<const T>(std::move(record));
        // A record that writes its own text is sent as that text: large
        // bodies then never become a JSON tree.
        if constexpr (requires {
                          { held->toJSONText() } -> std::same_as<std::optional<std::string>>;
                      }) {
            text_ = [held] { return held->toJSONText(); };
        }
        encoder_ = [held]() -> std::optional<nlohmann::ordered_json> {
            if constexpr (detail::IsOptional<decltype(held->toJson())>::value) {
                auto json = held->toJson();
                if (!json) {
                    return std::nullopt;
                }
                return nlohmann::ordered_json(std::move(*json));
            } else {
                return nlohmann::ordered_json(held->toJson());
            }
        };
    }

    /// The JSON value, or nothing when the record cannot be written or holds a
    /// number that is not finite (JSON has no spelling for it).
    std::optional<nlohmann::ordered_json> encode() const;

    /// Compact JSON text, or nothing when `encode()` fails.
    std::optional<std::string> toJSONData() const;

    /// Indented JSON text for log lines, "Error in getting prettyJson" on failure.
    std::string toPrettyJson() const;

  private:
    std::function<std::optional<nlohmann::ordered_json>()> encoder_;
    /// Set for records that write their own text; `encode` then reads that
    /// text back, so the logged value is the one sent.
    std::function<std::optional<std::string>()> text_;
};

}  // namespace mvk
