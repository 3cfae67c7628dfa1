#include "backend/EncodableValue.hpp"

#include "foundation/JsonCoding.hpp"

#include <cmath>
#include <vector>

namespace mvk {

namespace {

bool allNumbersFinite(const nlohmann::ordered_json& root) {
    // Iterative so that a deeply nested value cannot exhaust the stack.
    std::vector<const nlohmann::ordered_json*> pending{&root};
    while (!pending.empty()) {
        const auto* value = pending.back();
        pending.pop_back();
        if (value->is_number_float() && !std::isfinite(value->get<double>())) {
            return false;
        }
        if (value->is_structured()) {
            for (const auto& child : *value) {
                pending.push_back(&child);
            }
        }
    }
    return true;
}

}  // namespace

EncodableValue::EncodableValue() : EncodableValue(nlohmann::ordered_json()) {}

EncodableValue::EncodableValue(nlohmann::ordered_json value) {
    auto held = std::make_shared<const nlohmann::ordered_json>(std::move(value));
    encoder_ = [held]() -> std::optional<nlohmann::ordered_json> { return *held; };
}

std::optional<nlohmann::ordered_json> EncodableValue::encode() const {
    try {
        if (text_) {
            auto text = text_();
            if (!text) {
                return std::nullopt;
            }
            auto json = nlohmann::ordered_json::parse(*text, nullptr, false);
            if (json.is_discarded() || !allNumbersFinite(json)) {
                return std::nullopt;
            }
            return json;
        }
        auto json = encoder_();
        if (!json || !allNumbersFinite(*json)) {
            return std::nullopt;
        }
        return json;
    } catch (...) {
        // A record's writer that throws counts as a record that cannot be written.
        return std::nullopt;
    }
}

std::optional<std::string> EncodableValue::toJSONData() const {
    if (text_) {
        try {
            return text_();
        } catch (...) {
            return std::nullopt;
        }
    }
    auto json = encode();
    if (!json) {
        return std::nullopt;
    }
    return dumpJson(*json);
}

std::string EncodableValue::toPrettyJson() const {
    auto json = encode();
    if (!json) {
        return "Error in getting prettyJson";
    }
    return dumpPrettyJson(*json);
}

}  // namespace mvk
