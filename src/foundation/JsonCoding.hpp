#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// Strict parse of one JSON text: nullopt (never an exception) for invalid
/// JSON, invalid UTF-8, trailing data, containers nested deeper than
/// `AnyCodable::maxDepth` or more than `AnyCodable::maxValues` values. `error`, when given,
/// receives the parser's reason.
std::optional<nlohmann::json> parseJson(std::string_view text, std::string* error = nullptr);

/// As `parseJson`, but keeps the text's key order: a repeated key keeps its
/// first place and takes its last value. A number beyond the range of a
/// double is refused as well, since no writer could put it back.
std::optional<nlohmann::ordered_json> parseOrderedJson(std::string_view text);

/// As `parseOrderedJson`, for a text that must hold one object nested at
/// most `maxDepth` levels deep (at most `AnyCodable::maxDepth`). The reading
/// stops at the first thing that is not; `error` then receives why.
std::optional<nlohmann::ordered_json> parseOrderedObject(std::string_view text,
                                                         std::size_t maxDepth, std::string& error);

/// Compact JSON text; invalid UTF-8 in texts is written as U+FFFD. Throws
/// nothing but std::bad_alloc.
std::string dumpJson(const nlohmann::ordered_json& json);
/// Indented JSON text (keys in the value's order), otherwise as `dumpJson`.
std::string dumpPrettyJson(const nlohmann::ordered_json& json);

/// Adds `key` at the end of `object` without looking for it first: an ordered
/// object finds a key by a linear search, so filling one from a source whose
/// keys are already distinct (a map, a checked object) with `operator[]`
/// costs the square of its size.
inline void appendDistinctKey(nlohmann::ordered_json& object, const std::string& key,
                              nlohmann::ordered_json value) {
    object.get_ref<nlohmann::ordered_json::object_t&>().emplace_back(key, std::move(value));
}

/// Writes `value` under `key` when present; an absent optional leaves the key out.
template <class T>
void putIfPresent(nlohmann::ordered_json& json, const char* key, const std::optional<T>& value) {
    if (value) {
        json[key] = *value;
    }
}

/// How a type is read from and written to JSON. The default calls the
/// record's own members:
///   static std::optional<T> fromJson(const nlohmann::json&);
///   toJson() const -> nlohmann::ordered_json, nlohmann::json or an optional of either
/// and specialisations cover AnyCodable, its objects, and lists and text maps of
/// codable types. Specialise it for a type that cannot carry the members.
template <class T>
struct JsonCodec {
    static std::optional<T> decode(const nlohmann::json& json) { return T::fromJson(json); }
    static std::optional<T> decodeText(std::string_view text) {
        auto json = parseJson(text);
        return json ? decode(*json) : std::nullopt;
    }
    static std::optional<nlohmann::ordered_json> encode(const T& value) {
        using Result = std::remove_cvref_t<decltype(value.toJson())>;
        if constexpr (std::is_same_v<Result, std::optional<nlohmann::ordered_json>>) {
            return value.toJson();
        } else if constexpr (std::is_same_v<Result, std::optional<nlohmann::json>>) {
            auto json = value.toJson();
            return json ? std::optional<nlohmann::ordered_json>(*json) : std::nullopt;
        } else {
            return nlohmann::ordered_json(value.toJson());
        }
    }
};

template <>
struct JsonCodec<AnyCodable> {
    static std::optional<AnyCodable> decode(const nlohmann::json& json) {
        return AnyCodable::fromJson(json);
    }
    // Straight from the text, so object keys keep their order.
    static std::optional<AnyCodable> decodeText(std::string_view text) {
        return AnyCodable::parse(text);
    }
    static std::optional<nlohmann::ordered_json> encode(const AnyCodable& value) {
        return value.toJson();
    }
};

/// A JSON object of any values; any other top-level value fails to decode.
template <>
struct JsonCodec<AnyCodable::Object> {
    static std::optional<AnyCodable::Object> decode(const nlohmann::json& json) {
        return objectOf(AnyCodable::fromJson(json));
    }
    static std::optional<AnyCodable::Object> decodeText(std::string_view text) {
        return objectOf(AnyCodable::parse(text));
    }
    static std::optional<nlohmann::ordered_json> encode(const AnyCodable::Object& value) {
        return AnyCodable(value).toJson();
    }

  private:
    static std::optional<AnyCodable::Object> objectOf(std::optional<AnyCodable> value) {
        auto* object = value ? value->asObject() : nullptr;
        return object != nullptr ? std::optional(std::move(*object)) : std::nullopt;
    }
};

/// A JSON array whose every element decodes; one bad element fails the list.
template <class T>
struct JsonCodec<std::vector<T>> {
    static std::optional<std::vector<T>> decode(const nlohmann::json& json) {
        if (!json.is_array()) {
            return std::nullopt;
        }
        std::vector<T> result;
        result.reserve(json.size());
        for (const auto& element : json) {
            auto value = JsonCodec<T>::decode(element);
            if (!value) {
                return std::nullopt;
            }
            result.push_back(std::move(*value));
        }
        return result;
    }
    static std::optional<std::vector<T>> decodeText(std::string_view text) {
        auto json = parseJson(text);
        return json ? decode(*json) : std::nullopt;
    }
    static std::optional<nlohmann::ordered_json> encode(const std::vector<T>& values) {
        auto result = nlohmann::ordered_json::array();
        for (const auto& value : values) {
            auto element = JsonCodec<T>::encode(value);
            if (!element) {
                return std::nullopt;
            }
            result.push_back(std::move(*element));
        }
        return result;
    }
};

/// A JSON object whose every value decodes.
template <class T>
struct JsonCodec<std::map<std::string, T>> {
    static std::optional<std::map<std::string, T>> decode(const nlohmann::json& json) {
        if (!json.is_object()) {
            return std::nullopt;
        }
        std::map<std::string, T> result;
        for (const auto& [key, element] : json.items()) {
            auto value = JsonCodec<T>::decode(element);
            if (!value) {
                return std::nullopt;
            }
            result.emplace(key, std::move(*value));
        }
        return result;
    }
    static std::optional<std::map<std::string, T>> decodeText(std::string_view text) {
        auto json = parseJson(text);
        return json ? decode(*json) : std::nullopt;
    }
    static std::optional<nlohmann::ordered_json> encode(const std::map<std::string, T>& values) {
        auto result = nlohmann::ordered_json::object();
        for (const auto& [key, value] : values) {
            auto element = JsonCodec<T>::encode(value);
            if (!element) {
                return std::nullopt;
            }
            appendDistinctKey(result, key, std::move(*element));
        }
        return result;
    }
};

/// The value decoded from a JSON text; nullopt on any failure, nothing logged.
template <class T>
std::optional<T> decodeJson(std::string_view text) {
    try {
        return JsonCodec<T>::decodeText(text);
    } catch (...) {
        return std::nullopt;
    }
}

/// The value decoded from an already parsed JSON value; nullopt on any failure.
/// (Its own name: a JSON value converts implicitly from text.)
template <class T>
std::optional<T> decodeJsonValue(const nlohmann::json& json) {
    try {
        return JsonCodec<T>::decode(json);
    } catch (...) {
        return std::nullopt;
    }
}

/// The value's JSON; nullopt when it cannot be encoded (a non-finite double, say).
template <class T>
std::optional<nlohmann::ordered_json> encodeJson(const T& value) {
    try {
        return JsonCodec<T>::encode(value);
    } catch (...) {
        return std::nullopt;
    }
}

/// The value's compact JSON text (the bytes of a request body); nullopt when
/// it cannot be encoded.
template <class T>
std::optional<std::string> toJSONData(const T& value) {
    try {
        auto json = encodeJson(value);
        return json ? std::optional(dumpJson(*json)) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

/// The value's indented JSON text for logs, or "Error in getting prettyJson".
template <class T>
std::string toPrettyJson(const T& value) {
    static constexpr const char* failure = "Error in getting prettyJson";
    try {
        auto json = encodeJson(value);
        return json ? dumpPrettyJson(*json) : failure;
    } catch (...) {
        return failure;
    }
}

}  // namespace mvk
