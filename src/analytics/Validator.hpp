#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Logger.hpp"

namespace mvk {

/// Argument checks that write one uniform level-2 line when they fail.
/// `method` names the public call, `argument` what is checked.
class Validator {
  public:
    Validator() = delete;

    /// The head of every failure line.
    static std::string errorPrefix(std::string_view method);

    /// min <= value <= max; a NaN is neither below nor above, so it passes.
    template <typename Number>
    static bool inInterval(std::string_view method, std::string_view argument, Number value,
                           Number min, Number max) {
        if (value < min) {
            Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + "\n\t" +
                                                     std::string(argument) + " [" + print(value) +
                                                     "] is less than the min [" + print(min) +
                                                     "] permitted value!");
            return false;
        }
        if (value > max) {
            Logger::writeLog(MVKLogLevel::error, errorPrefix(method) + "\n\t" +
                                                     std::string(argument) + " [" + print(value) +
                                                     "] is greater than the max [" + print(max) +
                                                     "] permitted value!");
            return false;
        }
        return true;
    }

    /// A present, non-empty text.
    static bool notNullOrEmpty(std::string_view method, std::string_view argument,
                               const std::optional<std::string>& text);

  private:
    /// Integers in decimal, doubles in the shortest form that reads back.
    template <typename Number>
    static std::string print(Number value) {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    }
};

}  // namespace mvk
