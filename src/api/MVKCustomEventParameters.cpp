#include "mvk/MVKCustomEventParameters.hpp"

#include <algorithm>
#include <charconv>

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/Utf8.hpp"

namespace mvk {

namespace {

std::string printed(const MVKCustomEventParameters::Value& value) {
    return std::visit(
        [](const auto& held) -> std::string {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, bool>) {
                return held ? "true" : "false";
            } else if constexpr (std::is_same_v<Held, std::string>) {
                return held;
            } else {
                char buffer[64];
                const auto result = std::to_chars(buffer, buffer + sizeof buffer, held);
                return std::string(buffer, result.ptr);
            }
        },
        value);
}

}  // namespace

void MVKCustomEventParameters::addBool(const std::string& key, bool value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::addInt(const std::string& key, std::int64_t value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::addString(const std::string& key,
                                         const std::string& value) noexcept {
    callGuarded("addString", [&] { add(key, Utf8::sanitized(value)); });
}

void MVKCustomEventParameters::addDouble(const std::string& key, double value) noexcept {
    add(key, value);
}

void MVKCustomEventParameters::add(const std::string& key, Value value) noexcept {
    callGuarded("CustomEventParameters add", [&] {
        const auto limit = Core::shared()->analyticsProxy().getCustomEventParamsCount();
        if (std::cmp_greater_equal(parameters_.size(), std::max<std::int64_t>(limit, 0))) {
            Logger::writeLog(MVKLogLevel::error, "[CustomEventParameters] Limit of [" +
                                                     std::to_string(limit) +
                                                     "] is reached when adding a new parameter");
            return;
        }
        auto cleanKey = Utf8::sanitized(key);
        auto present = std::find_if(parameters_.begin(), parameters_.end(),
                                    [&](const auto& entry) { return entry.first == cleanKey; });
        if (present != parameters_.end()) {
            present->second = std::move(value);
        } else {
            parameters_.emplace_back(std::move(cleanKey), std::move(value));
        }
    });
}

std::string MVKCustomEventParameters::description() const noexcept {
    try {
        std::string text;
        for (const auto& [key, value] : parameters_) {
            if (!text.empty()) {
                text += "\n";
            }
            text += "key: " + key + " value: " + printed(value);
        }
        return text;
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
