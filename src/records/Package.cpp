#include "records/Package.hpp"

#include <cmath>
#include <exception>

#include "foundation/AnyCodable.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"
#include "foundation/JsonSaxBounds.hpp"

namespace mvk {

namespace {

/// Follows a stored event text under the bounds of the reader that takes a
/// stored report back, keeping no values.
class EventTextCheck : public JsonSaxBounds {
  public:
    using Json = nlohmann::json;

    bool null() { return scalar(); }
    bool boolean(bool) { return scalar(); }
    bool number_integer(Json::number_integer_t) { return scalar(); }
    bool number_unsigned(Json::number_unsigned_t) { return scalar(); }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        if (!std::isfinite(value)) {
            fail("a number out of the range of a double");
            return false;
        }
        return scalar();
    }
    bool string(Json::string_t&) { return scalar(); }
    bool key(Json::string_t&) { return true; }
    bool start_object(std::size_t) { return counted() && open(); }
    bool start_array(std::size_t) { return depth_ > 0 ? counted() && open() : notObject(); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

  private:
    static constexpr std::size_t maxDepth = AnyCodable::maxDepth - Package::reportNesting;

    bool notObject() {
        fail("not a JSON object");
        return false;
    }
    bool scalar() { return depth_ > 0 ? counted() : notObject(); }
    bool open() {
        if (depth_ >= maxDepth) {
            fail("nesting deeper than " + std::to_string(maxDepth) + " levels");
            return false;
        }
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        return true;
    }

    std::size_t depth_ = 0;
};

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

std::optional<std::string> Package::eventTextFault(std::string_view text) {
    EventTextCheck check;
    try {
        if (nlohmann::json::sax_parse(text.begin(), text.end(), &check,
                                      nlohmann::json::input_format_t::json, true)) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return "no memory to read it";
    }
    return check.error().empty() ? std::string("not JSON") : check.error();
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
        for (const auto& text : *events) {
            auto object = eventObject(text);
            if (!object) {
                continue;
            }
            if (!first) {
                out += ',';
            }
            first = false;
            out += dumpJson(*object);
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
