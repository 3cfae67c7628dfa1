#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mvk {

/// A value bound to a "?" parameter or read from a column: SQL NULL, a 64-bit
/// integer, a double or a text. Flags are stored as the integers 1 and 0.
///
/// Unsigned integers have no constructor on purpose: a value above INT64_MAX
/// would silently change sign, so callers convert explicitly.
class SQLiteValue {
  public:
    using Storage = std::variant<std::monostate, std::int64_t, double, std::string>;

    SQLiteValue() = default;
    SQLiteValue(std::nullptr_t) {}
    SQLiteValue(std::nullopt_t) {}
    SQLiteValue(bool value) : storage_(std::int64_t{value ? 1 : 0}) {}
    SQLiteValue(int value) : storage_(std::int64_t{value}) {}
    SQLiteValue(long value) : storage_(std::int64_t{value}) {}
    SQLiteValue(long long value) : storage_(std::int64_t{value}) {}
    SQLiteValue(double value) : storage_(value) {}
    SQLiteValue(std::string value) : storage_(std::move(value)) {}
    SQLiteValue(std::string_view value) : storage_(std::string(value)) {}
    /// A null pointer is SQL NULL.
    SQLiteValue(const char* value);

    template <typename T>
    SQLiteValue(const std::optional<T>& value) {
        if (value) {
            *this = SQLiteValue(*value);
        }
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(storage_); }
    std::optional<std::int64_t> integer() const;
    std::optional<double> real() const;
    /// The text, or null when the value is not a text.
    const std::string* text() const { return std::get_if<std::string>(&storage_); }

    const Storage& storage() const { return storage_; }

    /// A short printed form for error messages: NULL, the number, or the text in quotes.
    std::string debugDescription() const;

    bool operator==(const SQLiteValue&) const = default;

  private:
    Storage storage_;
};

}  // namespace mvk
