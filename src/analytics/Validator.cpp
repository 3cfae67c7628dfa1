#include "analytics/Validator.hpp"

namespace mvk {

std::string Validator::errorPrefix(std::string_view method) {
    return "In the " + std::string(method) + " method an error has occurred: ";
}

bool Validator::notNullOrEmpty(std::string_view method, std::string_view argument,
                               const std::optional<std::string>& text) {
    if (!text) {
        Logger::writeLog(MVKLogLevel::error,
                         errorPrefix(method) + "\n\t" + std::string(argument) + " is nil!");
        return false;
    }
    if (text->empty()) {
        Logger::writeLog(MVKLogLevel::error,
                         errorPrefix(method) + "\n\t" + std::string(argument) + " is empty!");
        return false;
    }
    return true;
}

}  // namespace mvk
