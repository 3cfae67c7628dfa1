#include "records/Package.hpp"

#include <exception>

#include "foundation/AnyCodable.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

nlohmann::ordered_json optionalText(const std::optional<std::string>& text) {
    return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

// Straight into the ordered value: going through `AnyCodable` cost as much as
// the parse itself, once per stored event of every report.
std::optional<nlohmann::ordered_json> eventObject(const std::string& text) {
    auto json = parseOrderedJson(text);
    if (json && json->is_object()) {
        return json;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Package::packEvent(std::string_view text, std::string& packed) {
    // The report's own containers count towards the depth its reader allows.
    constexpr std::size_t maxDepth = AnyCodable::maxDepth - reportNesting;
    std::string fault;
    try {
        if (auto object = parseOrderedObject(text, maxDepth, fault)) {
            packed = dumpJson(*object);
            return std::nullopt;
        }
    } catch (const std::exception&) {
        fault = "no memory to write it";
    }
    return fault;
}

nlohmann::ordered_json Package::factsJson() const {
    auto json = nlohmann::ordered_json::object();
    json["language"] = optionalText(language);
    json["appVersion"] = optionalText(appVersion);
    json["appBuildVersion"] = optionalText(appBuildVersion);
    json["sdkVersion"] = sdkVersion;
    json["sdkCodeVersion"] = sdkCodeVersion;
    json["bundle"] = optionalText(bundle);
    json["engine"] = engine;
    return json;
}

nlohmann::ordered_json Package::toJson() const {
    auto json = factsJson();
    auto array = nlohmann::ordered_json::array();
    if (events) {
        for (const auto& text : *events) {
            if (auto object = eventObject(text)) {
                array.push_back(std::move(*object));
            }
        }
    }
    json["events"] = std::move(array);
    return json;
}

void Package::appendJson(std::string& out) const {
    // The facts are written by the same writer as `toJson`, then left open
    // for the events, so both spell every value alike.
    auto facts = dumpJson(factsJson());
    facts.pop_back();
    out += facts;
    out += R"(,"events":[)";
    if (events) {
        bool first = true;
        const auto append = [&](const std::string& event) {
            if (!first) {
                out += ',';
            }
            first = false;
            out += event;
        };
        for (const auto& text : *events) {
            if (eventsPacked) {
                append(text);
            } else if (auto object = eventObject(text)) {
                append(dumpJson(*object));
            }
        }
    }
    out += "]}";
}

std::optional<Package> Package::fromJson(const nlohmann::json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    for (const char* key : {"language", "appVersion", "appBuildVersion", "bundle"}) {
        if (!json.contains(key)) {
            return std::nullopt;
        }
    }
    JsonObjectReader reader(json);
    Package package;
    package.language = reader.optionalString("language");
    package.appVersion = reader.optionalString("appVersion");
    package.appBuildVersion = reader.optionalString("appBuildVersion");
    package.bundle = reader.optionalString("bundle");
    auto sdkVersion = reader.requiredString("sdkVersion");
    auto sdkCodeVersion = reader.requiredInt("sdkCodeVersion");
    if (const auto* events = reader.optionalValue("events")) {
        if (!events->is_array()) {
            return std::nullopt;
        }
        package.events.emplace();
        for (const auto& event : *events) {
            if (!event.is_object()) {
                return std::nullopt;
            }
            auto value = AnyCodable::fromJson(event);
            if (auto text = value ? toJSONData(*value) : std::nullopt) {
                package.events->push_back(std::move(*text));
            }
        }
    }
    if (!reader.ok()) {
        return std::nullopt;
    }
    package.sdkVersion = std::move(*sdkVersion);
    package.sdkCodeVersion = *sdkCodeVersion;
    return package;
}

}  // namespace mvk
