#include "foundation/JsonObjectReader.hpp"

#include <cmath>
#include <limits>

namespace mvk {

JsonObjectReader::JsonObjectReader(const nlohmann::json& value)
    : object_(value.is_object() ? &value : nullptr), ok_(value.is_object()) {}

const nlohmann::json* JsonObjectReader::member(std::string_view key) const {
    if (object_ == nullptr) {
        return nullptr;
    }
    auto it = object_->find(key);
    return it == object_->end() ? nullptr : &*it;
}

void JsonObjectReader::fail(std::string_view key) {
    if (ok_ || failedKey_.empty()) {
        failedKey_ = std::string(key);
    }
    ok_ = false;
}

template <class T, class Convert>
std::optional<T> JsonObjectReader::read(std::string_view key, bool required, Convert convert) {
    const nlohmann::json* value = member(key);
    if (value == nullptr || value->is_null()) {
        if (required) {
            fail(key);
        }
        return std::nullopt;
    }
    std::optional<T> result = convert(*value);
    if (!result) {
        fail(key);
    }
    return result;
}

std::optional<std::int64_t> JsonObjectReader::asInt(const nlohmann::json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned()) {
        auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_float()) {
        double d = value.get<double>();
        // 2^63 itself is out of range; every double below it converts exactly.
        if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 ||
            d >= 9223372036854775808.0) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

std::optional<double> JsonObjectReader::asDouble(const nlohmann::json& value) {
    if (!value.is_number()) {
        return std::nullopt;
    }
    double d = value.get<double>();
    return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

std::optional<std::string> JsonObjectReader::asString(const nlohmann::json& value) {
    if (!value.is_string()) {
        return std::nullopt;
    }
    return value.get<std::string>();
}

std::optional<bool> JsonObjectReader::asBool(const nlohmann::json& value) {
    if (!value.is_boolean()) {
        return std::nullopt;
    }
    return value.get<bool>();
}

std::optional<std::vector<std::string>> JsonObjectReader::asStringList(
    const nlohmann::json& value) {
    if (!value.is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    texts.reserve(value.size());
    for (const auto& element : value) {
        auto text = asString(element);
        if (!text) {
            return std::nullopt;
        }
        texts.push_back(std::move(*text));
    }
    return texts;
}

std::optional<std::int64_t> JsonObjectReader::requiredInt(std::string_view key) {
    return read<std::int64_t>(key, true, asInt);
}
std::optional<double> JsonObjectReader::requiredDouble(std::string_view key) {
    return read<double>(key, true, asDouble);
}
std::optional<std::string> JsonObjectReader::requiredString(std::string_view key) {
    return read<std::string>(key, true, asString);
}
std::optional<bool> JsonObjectReader::requiredBool(std::string_view key) {
    return read<bool>(key, true, asBool);
}
std::optional<std::int64_t> JsonObjectReader::optionalInt(std::string_view key) {
    return read<std::int64_t>(key, false, asInt);
}
std::optional<double> JsonObjectReader::optionalDouble(std::string_view key) {
    return read<double>(key, false, asDouble);
}
std::optional<std::string> JsonObjectReader::optionalString(std::string_view key) {
    return read<std::string>(key, false, asString);
}
std::optional<bool> JsonObjectReader::optionalBool(std::string_view key) {
    return read<bool>(key, false, asBool);
}

const nlohmann::json* JsonObjectReader::requiredValue(std::string_view key) {
    const nlohmann::json* value = member(key);
    if (value == nullptr || value->is_null()) {
        fail(key);
        return nullptr;
    }
    return value;
}

const nlohmann::json* JsonObjectReader::optionalValue(std::string_view key) {
    const nlohmann::json* value = member(key);
    return value == nullptr || value->is_null() ? nullptr : value;
}

}  // namespace mvk
