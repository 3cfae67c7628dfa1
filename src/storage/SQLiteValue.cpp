#include "storage/SQLiteValue.hpp"

#include <charconv>

namespace mvk {

SQLiteValue::SQLiteValue(const char* value) {
    if (value != nullptr) {
        storage_ = std::string(value);
    }
}

std::optional<std::int64_t> SQLiteValue::integer() const {
    if (const auto* value = std::get_if<std::int64_t>(&storage_)) {
        return *value;
    }
    return std::nullopt;
}

std::optional<double> SQLiteValue::real() const {
    if (const auto* value = std::get_if<double>(&storage_)) {
        return *value;
    }
    return std::nullopt;
}

std::string SQLiteValue::debugDescription() const {
    if (isNull()) {
        return "NULL";
    }
    if (auto value = integer()) {
        return std::to_string(*value);
    }
    if (auto value = real()) {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, *value);
        return std::string(buffer, result.ptr);
    }
    return "\"" + *text() + "\"";
}

}  // namespace mvk
