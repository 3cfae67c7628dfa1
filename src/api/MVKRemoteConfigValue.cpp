#include "mvk/MVKRemoteConfigValue.hpp"

#include <locale.h>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include "foundation/StringExtensions.hpp"

namespace mvk {

namespace {

template <class... Kinds>
struct Overloaded : Kinds... {
    using Kinds::operator()...;
};
template <class... Kinds>
Overloaded(Kinds...) -> Overloaded<Kinds...>;

/// Texts are read in C notation whatever locale the host chose.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

/// The whole text as a number (strtod or strtof), none when it is not one.
template <class Floating>
std::optional<Floating> readNumber(const std::string& text) {
    if (text.empty() || cLocale() == locale_t{}) {
        return std::nullopt;
    }
    char* end = nullptr;
    Floating value;
    if constexpr (std::is_same_v<Floating, float>) {
        value = strtof_l(text.c_str(), &end, cLocale());
    } else {
        value = strtod_l(text.c_str(), &end, cLocale());
    }
    if (end != text.c_str() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> readDouble(const std::string& text) {
    return readNumber<double>(text);
}

std::optional<float> readFloat(const std::string& text) {
    return readNumber<float>(text);
}

/// Truncated toward zero and clamped to `Integer`; NaN gives 0.
template <class Integer>
Integer toInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // Both bounds are powers of two and exact as doubles; the upper one is one
    // past the largest value.
    constexpr auto low = static_cast<double>(std::numeric_limits<Integer>::min());
    constexpr auto high = -low;
    if (value <= low) {
        return std::numeric_limits<Integer>::min();
    }
    if (value >= high) {
        return std::numeric_limits<Integer>::max();
    }
    return static_cast<Integer>(std::trunc(value));
}

template <class Integer>
Integer clampInteger(std::int64_t value) {
    if (value < std::numeric_limits<Integer>::min()) {
        return std::numeric_limits<Integer>::min();
    }
    if (value > std::numeric_limits<Integer>::max()) {
        return std::numeric_limits<Integer>::max();
    }
    return static_cast<Integer>(value);
}

/// Finite values beyond float's range read as the nearest finite bound.
float narrow(double value) {
    if (std::isfinite(value)) {
        if (value > FLT_MAX) {
            return FLT_MAX;
        }
        if (value < -FLT_MAX) {
            return -FLT_MAX;
        }
    }
    return static_cast<float>(value);
}

/// Whole numbers from this size on print in exponent form: their last digits are no longer all
/// exact (a double holds every integer only up to 2^53, about 9e15), so "1e+16" does not pretend
/// to a precision that "10000000000000000.0" would.
constexpr double fixedNotationBound = 1e16;

/// The shortest text that reads back as `value`. Below `fixedNotationBound` numbers of 1 and above
/// are written out in full ("100000.0", not "1e+05"), as a host reading a configuration expects.
template <class Floating>
std::string shortest(Floating value) {
    char buffer[64];
    const double magnitude = std::fabs(static_cast<double>(value));
    const auto result =
        magnitude >= 1.0 && magnitude < fixedNotationBound
            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
            : std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

template <class Integer>
Integer integerOf(const MVKRemoteConfigDefault& value) {
    return std::visit(
        Overloaded{
            [](bool flag) -> Integer { return flag ? 1 : 0; },
            [](std::int32_t number) -> Integer { return clampInteger<Integer>(number); },
            [](std::int64_t number) -> Integer { return clampInteger<Integer>(number); },
            [](float number) -> Integer { return toInteger<Integer>(number); },
            [](double number) -> Integer { return toInteger<Integer>(number); },
            [](const std::string& text) -> Integer {
                const auto number = readDouble(text);
                return number ? toInteger<Integer>(*number) : 0;
            },
        },
        value);
}

}  // namespace

MVKRemoteConfigValue::MVKRemoteConfigValue(MVKRemoteConfigAccess, MVKRemoteConfigDefault value,
                                           MVKRemoteConfigSource source)
    : value_(std::move(value)), source_(source) {}

MVKRemoteConfigDefault MVKRemoteConfigValue::value() const {
    std::lock_guard lock(mutex_);
    return value_;
}

void MVKRemoteConfigValue::update(MVKRemoteConfigAccess, MVKRemoteConfigDefault value,
                                  MVKRemoteConfigSource source) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
    source_ = source;
}

MVKRemoteConfigSource MVKRemoteConfigValue::source() const noexcept {
    std::lock_guard lock(mutex_);
    return source_;
}

void MVKRemoteConfigValue::setSource(MVKRemoteConfigSource source) noexcept {
    std::lock_guard lock(mutex_);
    source_ = source;
}

std::optional<std::string> MVKRemoteConfigValue::stringValue() const noexcept {
    try {
        return std::visit(Overloaded{
                              [](bool flag) { return std::string(flag ? "true" : "false"); },
                              [](std::int32_t number) { return std::to_string(number); },
                              [](std::int64_t number) { return std::to_string(number); },
                              [](float number) { return shortest(number); },
                              [](double number) { return shortest(number); },
                              [](const std::string& text) { return text; },
                          },
                          value());
    } catch (...) {
        return std::nullopt;
    }
}

float MVKRemoteConfigValue::floatValue() const noexcept {
    return std::visit(Overloaded{
                          [](bool flag) { return flag ? 1.0F : 0.0F; },
                          [](std::int32_t number) { return static_cast<float>(number); },
                          [](std::int64_t number) { return static_cast<float>(number); },
                          [](float number) { return number; },
                          [](double number) { return narrow(number); },
                          [](const std::string& text) {
                              // A finite text beyond float's range reads as the
                              // bound, as a double beyond it does.
                              const auto number = readFloat(text);
                              if (number && std::isinf(*number)) {
                                  return narrow(readDouble(text).value_or(*number));
                              }
                              return number.value_or(0.0F);
                          },
                      },
                      value());
}

double MVKRemoteConfigValue::doubleValue() const noexcept {
    return std::visit(Overloaded{
                          [](bool flag) { return flag ? 1.0 : 0.0; },
                          [](std::int32_t number) { return static_cast<double>(number); },
                          [](std::int64_t number) { return static_cast<double>(number); },
                          [](float number) { return static_cast<double>(number); },
                          [](double number) { return number; },
                          [](const std::string& text) { return readDouble(text).value_or(0.0); },
                      },
                      value());
}

std::int32_t MVKRemoteConfigValue::int32Value() const noexcept {
    return integerOf<std::int32_t>(value());
}

std::int64_t MVKRemoteConfigValue::int64Value() const noexcept {
    return integerOf<std::int64_t>(value());
}

std::int64_t MVKRemoteConfigValue::integerValue() const noexcept {
    return integerOf<std::int64_t>(value());
}

bool MVKRemoteConfigValue::boolValue() const noexcept {
    return std::visit(
        Overloaded{
            [](bool flag) { return flag; },
            [](std::int32_t number) { return number != 0; },
            [](std::int64_t number) { return number != 0; },
            [](float number) { return number != 0.0F; },
            [](double number) { return number != 0.0; },
            [](const std::string& text) { return stringToBool(text).value_or(false); },
        },
        value());
}

std::string MVKRemoteConfigValue::description() const noexcept {
    try {
        return "value: [" + stringValue().value_or("") +
               "] source: " + std::string(mvk::description(source()));
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
