#include "analytics/Bounder.hpp"

#include "foundation/Logger.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

std::optional<std::string> Bounder::maxStringLength(std::string_view method,
                                                    std::string_view argument,
                                                    const std::optional<std::string>& text,
                                                    std::size_t max) {
    if (!text) {
        return std::nullopt;
    }
    // Counting stops one past the bound: a megabyte text costs no more than
    // a text just over it.
    if (UnicodeText::characterCount(*text, max + 1) <= max) {
        return text;
    }
    Logger::writeLog(MVKLogLevel::warning,
                     "In the " + std::string(method) + " method an error has occurred:\n\t" +
                         std::string(argument) + ": " +
                         UnicodeText::abbreviated(*text, loggedTextBytes) +
                         " is longer than it is permitted.\n\t" + "The string was truncated to '" +
                         std::to_string(max) + "'!");
    return std::string(UnicodeText::prefix(*text, max));
}

std::size_t Bounder::maxCollectionCount(std::string_view method, std::string_view argument,
                                        std::size_t count, std::size_t max) {
    if (count <= max) {
        return count;
    }
    Logger::writeLog(MVKLogLevel::warning,
                     "In the " + std::string(method) + " method an error has occurred:\n\t" +
                         std::string(argument) + " holds [" + std::to_string(count) +
                         "] elements, more than it is permitted.\n\t" + "Only the first '" +
                         std::to_string(max) + "' are taken!");
    return max;
}

}  // namespace mvk
