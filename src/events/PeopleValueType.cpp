#include "events/PeopleValueType.hpp"

#include <cmath>
#include <limits>

#include "foundation/JsonCoding.hpp"
#include "foundation/StringExtensions.hpp"

namespace mvk {

namespace {

constexpr const char* notValidJson = "Not a valid JSON";

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

PeopleValueType::PeopleValueType(const char* text) {
    if (text != nullptr) {
        value_ = std::string(text);
    }
}

bool PeopleValueType::toBool() const {
    const auto* flag = std::get_if<bool>(&value_);
    return flag != nullptr && *flag;
}

std::optional<std::string> PeopleValueType::toString() const {
    const auto* text = std::get_if<std::string>(&value_);
    return text != nullptr ? std::optional(*text) : std::nullopt;
}

double PeopleValueType::toDouble() const {
    if (const auto* integer = std::get_if<std::int64_t>(&value_)) {
        return static_cast<double>(*integer);
    }
    if (const auto* number = std::get_if<double>(&value_)) {
        return *number;
    }
    return 0.0;
}

std::int64_t PeopleValueType::toInt() const {
    if (const auto* integer = std::get_if<std::int64_t>(&value_)) {
        return *integer;
    }
    const auto* number = std::get_if<double>(&value_);
    if (number == nullptr || std::isnan(*number)) {
        return 0;
    }
    // Converting a double outside the range is undefined behaviour, not a wrap.
    if (*number >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (*number < -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(*number);
}

std::optional<MVKGender> PeopleValueType::toGender() const {
    const auto* gender = std::get_if<MVKGender>(&value_);
    return gender != nullptr ? std::optional(*gender) : std::nullopt;
}

bool PeopleValueType::isEqual(const PeopleValueType& other) const {
    return value_ == other.value_;
}

std::string PeopleValueType::description() const {
    return std::visit(Overloaded{
                          [](std::monostate) -> std::string { return "<null>"; },
                          [](const std::string& text) { return text; },
                          [](bool flag) -> std::string { return flag ? "true" : "false"; },
                          [](std::int64_t integer) { return std::to_string(integer); },
                          [](double number) -> std::string {
                              if (std::isnan(number)) {
                                  return "nan";
                              }
                              if (std::isinf(number)) {
                                  return number > 0 ? "inf" : "-inf";
                              }
                              return nlohmann::ordered_json(number).dump();
                          },
                          [](MVKGender gender) { return std::string(mvk::description(gender)); },
                      },
                      value_);
}

std::optional<nlohmann::ordered_json> PeopleValueType::toJson() const {
    return std::visit(
        Overloaded{
            [](std::monostate) -> std::optional<nlohmann::ordered_json> { return nullptr; },
            [](const std::string& text) -> std::optional<nlohmann::ordered_json> { return text; },
            [](bool flag) -> std::optional<nlohmann::ordered_json> { return flag; },
            [](std::int64_t integer) -> std::optional<nlohmann::ordered_json> { return integer; },
            [](double number) -> std::optional<nlohmann::ordered_json> {
                if (!std::isfinite(number)) {
                    return std::nullopt;
                }
                return number;
            },
            [](MVKGender gender) -> std::optional<nlohmann::ordered_json> {
                return rawValue(gender);
            },
        },
        value_);
}

std::optional<PeopleValueType> PeopleValueType::fromAnyCodable(const AnyCodable& value) {
    switch (value.kind()) {
        case AnyCodable::Kind::null:
            return PeopleValueType();
        case AnyCodable::Kind::boolean:
            return PeopleValueType(*value.asBool());
        case AnyCodable::Kind::integer:
            return PeopleValueType(*value.asInt());
        case AnyCodable::Kind::unsignedInteger: {
            const auto number = *value.asUInt();
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return PeopleValueType(static_cast<std::int64_t>(number));
            }
            return PeopleValueType(static_cast<double>(number));
        }
        case AnyCodable::Kind::floating:
            return PeopleValueType(*value.asDouble());
        case AnyCodable::Kind::string:
            return PeopleValueType(*value.asString());
        case AnyCodable::Kind::array:
        case AnyCodable::Kind::object:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<PeopleValueType> PeopleValueType::fromJson(const nlohmann::json& value) {
    auto any = AnyCodable::fromJson(value);
    return any ? fromAnyCodable(*any) : std::nullopt;
}

std::string encodePeopleProperties(const PeopleProperties& properties) {
    auto text = toJSONData(properties);
    return text ? std::move(*text) : notValidJson;
}

PeopleProperties decodePeopleProperties(std::string_view text) {
    PeopleProperties properties;
    if (text.empty()) {
        return properties;
    }
    for (const auto& [key, value] : stringToDictionary(text)) {
        if (auto converted = PeopleValueType::fromAnyCodable(value)) {
            properties.insert_or_assign(key, std::move(*converted));
        }
    }
    return properties;
}

}  // namespace mvk
