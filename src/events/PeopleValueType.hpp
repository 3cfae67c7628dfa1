#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include <nlohmann/json.hpp>

#include "foundation/AnyCodable.hpp"
#include "foundation/HeldBytes.hpp"
#include "mvk/MVKGender.hpp"

namespace mvk {

/// One user-card value: a text, a flag, an integer, a double, a gender, or the
/// null marker of a key that the host unset and whose removal is not sent yet.
///
/// The kind is part of the value: integer 1 and double 1.0 are different
/// values, and both survive a trip through JSON (a whole double is written
/// with a fraction, "1.0", and read back as a double).
class PeopleValueType {
  public:
    enum class Kind : std::uint8_t { null, text, flag, integer, floating, gender };

    /// The null marker.
    PeopleValueType() = default;
    PeopleValueType(std::nullptr_t) {}
    PeopleValueType(std::string text) : value_(std::move(text)) {}
    PeopleValueType(std::string_view text) : value_(std::string(text)) {}
    /// A null pointer is the null marker, not dereferenced.
    PeopleValueType(const char* text);
    PeopleValueType(bool flag) : value_(flag) {}
    template <class T>
    requires std::is_integral_v<T> &&(!std::is_same_v<T, bool>)PeopleValueType(T number)
        : value_(static_cast<std::int64_t>(number)) {}
    template <class T>
    requires std::is_floating_point_v<T> PeopleValueType(T number)
        : value_(static_cast<double>(number)) {}
    PeopleValueType(MVKGender gender) : value_(gender) {}

    Kind kind() const { return static_cast<Kind>(value_.index()); }
    bool isNull() const { return kind() == Kind::null; }

    /// The flag; false for every other kind.
    bool toBool() const;
    /// The text; nothing for every other kind.
    std::optional<std::string> toString() const;
    /// An integer converted, a double unchanged; 0.0 for every other kind.
    double toDouble() const;
    /// An integer unchanged, a double truncated toward zero (NaN gives 0, a
    /// double beyond the 64-bit range the nearest end); 0 for every other kind.
    std::int64_t toInt() const;
    /// The gender; nothing for every other kind (its raw integer included).
    std::optional<MVKGender> toGender() const;

    /// Same kind and equal value; null markers are all equal.
    bool isEqual(const PeopleValueType& other) const;
    friend bool operator==(const PeopleValueType& lhs, const PeopleValueType& rhs) {
        return lhs.isEqual(rhs);
    }
    /// A text's heap, for the income queue's bound on the calls waiting there.
    friend std::size_t heldBytesOf(const PeopleValueType& value) noexcept {
        const auto* text = std::get_if<std::string>(&value.value_);
        return text != nullptr ? heldBytesOf(*text) : 0;
    }

    /// The value's text in log lines: the text itself, "true", "5", "5.0",
    /// "Male", "<null>".
    std::string description() const;

    /// The JSON value: a gender as its raw integer, the null marker as null;
    /// nothing for a NaN or infinite double.
    std::optional<nlohmann::ordered_json> toJson() const;

    /// A flag, an integer (a whole number written without a fraction), a text,
    /// a double (any other number) or the null marker; nothing for an array
    /// or an object, which a card cannot hold.
    static std::optional<PeopleValueType> fromAnyCodable(const AnyCodable& value);
    static std::optional<PeopleValueType> fromJson(const nlohmann::json& value);

  private:
    // Alternative order matches `Kind`.
    std::variant<std::monostate, std::string, bool, std::int64_t, double, MVKGender> value_;
};

/// A user card's properties, or the SDK tools' metadata.
using PeopleProperties = std::map<std::string, PeopleValueType>;

/// The properties as a compact JSON object text, or "Not a valid JSON" when
/// a value cannot be written (a NaN or infinite double).
std::string encodePeopleProperties(const PeopleProperties& properties);

/// The properties of a JSON object text; an empty text or one that is not an
/// object gives none (text that does not parse is logged), and members that
/// are arrays or objects are left out.
PeopleProperties decodePeopleProperties(std::string_view text);

}  // namespace mvk
