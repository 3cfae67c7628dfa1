#include "events/StorableEncoder.hpp"

#include <cmath>

#include "foundation/Logger.hpp"

namespace mvk {

namespace {

using Json = nlohmann::ordered_json;

std::string escapedKey(const std::string& key) {
    std::string escaped;
    for (char c : key) {
        if (c == '~') {
            escaped += "~0";
        } else if (c == '/') {
            escaped += "~1";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// Depth-first with an explicit stack: a record's value may nest as deep as the
// host's parameters do, and recursion would put that depth on the call stack.
std::optional<std::string> firstNonFinite(const Json& root) {
    std::vector<std::pair<const Json*, std::string>> pending = {{&root, ""}};
    while (!pending.empty()) {
        auto [value, pointer] = std::move(pending.back());
        pending.pop_back();
        if (value->is_number_float()) {
            const double number = value->get<double>();
            if (!std::isfinite(number)) {
                const char* text = std::isnan(number) ? "nan" : (number > 0 ? "inf" : "-inf");
                return std::string("The value ") + text + " at \"" + pointer +
                       "\" is not a valid JSON number";
            }
        } else if (value->is_object()) {
            for (auto it = value->rbegin(); it != value->rend(); ++it) {
                pending.emplace_back(&*it, pointer + "/" + escapedKey(it.key()));
            }
        } else if (value->is_array()) {
            for (std::size_t index = value->size(); index-- > 0;) {
                pending.emplace_back(&(*value)[index], pointer + "/" + std::to_string(index));
            }
        }
    }
    return std::nullopt;
}

// The same walk without the paths: nearly every record is finite, and building
// a path per value cost a quarter of the whole encoding.
bool allFinite(const Json& root) {
    std::vector<const Json*> pending = {&root};
    while (!pending.empty()) {
        const Json* value = pending.back();
        pending.pop_back();
        if (value->is_number_float()) {
            if (!std::isfinite(value->get<double>())) {
                return false;
            }
        } else if (value->is_structured()) {
            for (const auto& element : *value) {
                pending.push_back(&element);
            }
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> StorableEncoder::encodingError(const Json& json) {
    if (allFinite(json)) {
        return std::nullopt;
    }
    return firstNonFinite(json);
}

void StorableEncoder::logFailure(std::string_view description, std::string_view error) {
    std::string line = "When trying to get json string from \n\t[";
    line += description;
    line += "] \n\tobject an error has occurred: ";
    line += error;
    Logger::writeLog(MVKLogLevel::error, line);
}

std::string StorableEncoder::encode(const Json& json,
                                    const std::function<std::string()>& describe) {
    if (auto error = encodingError(json)) {
        logFailure(describe(), *error);
        return "";
    }
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace mvk
