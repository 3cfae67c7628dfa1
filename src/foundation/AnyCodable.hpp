#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace mvk {

/// A JSON value whose kind is only known at run time: event parameters,
/// configuration values, experiment parameters and the like.
///
/// Objects keep the order in which their keys were first added. Equality is
/// deep; an int and a double are equal when the int converted to double equals
/// the double, so `hash()` hashes every int through that same conversion.
/// The ordering operators are partial on purpose: only null/null and
/// int/double pairs are ordered, everything else answers false.
///
/// Decoding and encoding never throw; a failure answers `std::nullopt`.
class AnyCodable {
  public:
    enum class Kind : std::uint8_t {
        null,
        boolean,
        integer,          ///< signed 64-bit
        unsignedInteger,  ///< unsigned 64-bit: decoded above INT64_MAX, or wrapped unsigned
        floating,         ///< double
        string,
        array,
        object,
    };

    using Array = std::vector<AnyCodable>;

    /// Key/value pairs in insertion order. A key that is added again keeps its
    /// first value (`insert`) unless the caller asks to replace it (`assign`).
    class Object {
      public:
        using value_type = std::pair<std::string, AnyCodable>;
        using Entries = std::vector<value_type>;
        using const_iterator = Entries::const_iterator;
        using iterator = Entries::iterator;

        Object() = default;
        /// A repeated key keeps its first value; takes linear time.
        explicit Object(Entries entries);
        Object(std::initializer_list<value_type> entries) : Object(Entries(entries)) {}
        /// Any map-like range of (text, convertible-to-AnyCodable) pairs.
        // The self-type test comes first so that copying an Object never looks
        // into AnyCodable while it is still incomplete.
        template <class Map>
        requires(!std::is_same_v<std::remove_cvref_t<Map>, Object>) && requires(const Map& m) {
            { m.begin()->first } -> std::convertible_to<std::string_view>;
            AnyCodable(m.begin()->second);
        }
        explicit Object(const Map& map) : Object(toEntries(map)) {}

        /// Adds the pair unless the key is already present; true when added.
        bool insert(std::string key, AnyCodable value);
        /// Adds the pair, or replaces the value of a present key in place.
        void assign(std::string key, AnyCodable value);
        bool erase(std::string_view key);

        const AnyCodable* find(std::string_view key) const;
        AnyCodable* find(std::string_view key);
        bool contains(std::string_view key) const { return find(key) != nullptr; }

        std::size_t size() const { return entries_.size(); }
        bool empty() const { return entries_.empty(); }
        const_iterator begin() const { return entries_.begin(); }
        const_iterator end() const { return entries_.end(); }
        iterator begin() { return entries_.begin(); }
        iterator end() { return entries_.end(); }

        /// Same keys, equal values; key order does not matter.
        friend bool operator==(const Object& lhs, const Object& rhs);

      private:
        template <class Map>
        static Entries toEntries(const Map& map) {
            Entries entries;
            entries.reserve(map.size());
            for (const auto& [key, value] : map) {
                entries.emplace_back(std::string(key), AnyCodable(value));
            }
            return entries;
        }

        Entries entries_;
    };

    AnyCodable() = default;
    AnyCodable(std::nullptr_t) {}
    AnyCodable(std::nullopt_t) {}
    AnyCodable(bool value) : value_(value) {}

    /// A `char` is a one-letter text; every other integer keeps its signedness.
    template <class T>
    requires std::is_integral_v<T> &&(!std::is_same_v<T, bool>)AnyCodable(T value) {
        if constexpr (std::is_same_v<T, char> || std::is_same_v<T, char8_t>) {
            value_ = std::string(1, static_cast<char>(value));
        } else if constexpr (std::is_signed_v<T>) {
            value_ = static_cast<std::int64_t>(value);
        } else {
            value_ = static_cast<std::uint64_t>(value);
        }
    }

    template <class T>
    requires std::is_floating_point_v<T> AnyCodable(T value) : value_(static_cast<double>(value)) {}

    /// A null pointer is treated as an absent text (null), not dereferenced.
    AnyCodable(const char* text);
    AnyCodable(std::string text) : value_(std::move(text)) {}
    AnyCodable(std::string_view text) : value_(std::string(text)) {}

    AnyCodable(Array elements) : value_(std::move(elements)) {}
    AnyCodable(Object entries) : value_(std::move(entries)) {}

    /// An empty optional is null.
    template <class T>
    requires std::is_constructible_v<AnyCodable, const T&> AnyCodable(
        const std::optional<T>& value) {
        if (value) {
            *this = AnyCodable(*value);
        }
    }

    /// Lists of values convertible to AnyCodable.
    template <class T, class Allocator>
    requires(!std::is_same_v<T, AnyCodable>) &&
        std::is_constructible_v<AnyCodable, const T&> AnyCodable(
            const std::vector<T, Allocator>& elements) {
        Array array;
        array.reserve(elements.size());
        for (const auto& element : elements) {
            array.emplace_back(element);
        }
        value_ = std::move(array);
    }

    /// Maps from text to values convertible to AnyCodable.
    template <class T, class Compare, class Allocator>
    requires std::is_constructible_v<AnyCodable, const T&> AnyCodable(
        const std::map<std::string, T, Compare, Allocator>& entries)
        : value_(Object(entries)) {}
    template <class T, class Hash, class Equal, class Allocator>
    requires std::is_constructible_v<AnyCodable, const T&> AnyCodable(
        const std::unordered_map<std::string, T, Hash, Equal, Allocator>& entries)
        : value_(Object(entries)) {}

    /// `AnyCodable::array({1, "a", nullptr})`
    static AnyCodable array(std::initializer_list<AnyCodable> elements = {});
    /// `AnyCodable::object({{"a", 1}, {"b", true}})`; a repeated key keeps its first value.
    static AnyCodable object(std::initializer_list<Object::value_type> entries = {});

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isNull() const { return kind() == Kind::null; }
    bool isBool() const { return kind() == Kind::boolean; }
    bool isInt() const { return kind() == Kind::integer; }
    bool isUInt() const { return kind() == Kind::unsignedInteger; }
    bool isDouble() const { return kind() == Kind::floating; }
    bool isString() const { return kind() == Kind::string; }
    bool isArray() const { return kind() == Kind::array; }
    bool isObject() const { return kind() == Kind::object; }

    /// Each answers a value only for its own kind; no conversion between kinds.
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInt() const;
    std::optional<std::uint64_t> asUInt() const;
    std::optional<double> asDouble() const;
    const std::string* asString() const;
    const Array* asArray() const;
    Array* asArray();
    const Object* asObject() const;
    Object* asObject();

    /// Element count of an array or object; 0 for every other kind.
    std::size_t size() const;
    /// The value under `key` of an object; null pointer for a missing key or another kind.
    const AnyCodable* find(std::string_view key) const;
    /// The element at `index` of an array; null pointer when out of range or another kind.
    const AnyCodable* at(std::size_t index) const;

    /// Log text: "nil" for null, the text itself for a string, containers in
    /// bracket form with quoted texts.
    std::string description() const;
    /// "AnyCodable(" + text + ")", where a string shows quoted.
    std::string debugDescription() const;

    /// Containers nested deeper than this fail to decode and to encode.
    static constexpr std::size_t maxDepth = 128;
    /// A text holding more values (scalars and containers alike) fails to
    /// decode. A parsed value takes about a hundred bytes, so this bounds what
    /// a hostile 16 MiB answer can grow to at about 10 MiB instead of several
    /// hundred; the largest configuration, experiment list or receipt answer
    /// holds a few thousand values.
    static constexpr std::size_t maxValues = 100'000;

    /// Strict decoding of one JSON text: invalid JSON, invalid UTF-8, trailing
    /// data, nesting deeper than `maxDepth` or more than `maxValues` values
    /// answer nullopt. `error`, when
    /// given, receives the parser's reason. Within an object a repeated key
    /// keeps its position and takes the last value.
    static std::optional<AnyCodable> parse(std::string_view text, std::string* error = nullptr);
    /// Decoding of a parsed value; binary values, non-finite numbers and
    /// nesting deeper than `maxDepth` answer nullopt.
    static std::optional<AnyCodable> fromJson(const nlohmann::json& json);
    static std::optional<AnyCodable> fromJson(const nlohmann::ordered_json& json);

    /// The JSON form, keys in object order; nullopt when a NaN or infinite
    /// double sits anywhere inside or nesting is deeper than `maxDepth`.
    std::optional<nlohmann::ordered_json> toJson() const;

    /// Agrees with `==`: ints hash as the equal double, objects regardless of key order.
    std::size_t hash() const;

    friend bool operator==(const AnyCodable& lhs, const AnyCodable& rhs);
    friend bool operator<(const AnyCodable& lhs, const AnyCodable& rhs);
    friend bool operator>(const AnyCodable& lhs, const AnyCodable& rhs);
    friend bool operator<=(const AnyCodable& lhs, const AnyCodable& rhs);
    friend bool operator>=(const AnyCodable& lhs, const AnyCodable& rhs);

  private:
    // Alternative order matches `Kind`.
    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Array,
                 Object>
        value_;
};

}  // namespace mvk

template <>
struct std::hash<mvk::AnyCodable> {
    std::size_t operator()(const mvk::AnyCodable& value) const noexcept { return value.hash(); }
};
