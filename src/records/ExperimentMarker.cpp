#include "records/ExperimentMarker.hpp"

#include "foundation/JsonObjectReader.hpp"
#include "foundation/Logger.hpp"
#include "foundation/UnicodeText.hpp"

namespace mvk {

bool ExperimentMarker::isGroupWithinBounds(std::string_view group) {
    return group.size() <= maxGroupBytes &&
           UnicodeText::characterCount(group, maxGroupCharacters + 1) <= maxGroupCharacters;
}

std::optional<ExperimentMarker> ExperimentMarker::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto id = reader.requiredInt("id");
    auto group = reader.requiredString("group");
    if (!reader.ok()) {
        return std::nullopt;
    }
    if (!isGroupWithinBounds(*group)) {
        Logger::writeLog(MVKLogLevel::warning, "The stored group of experiment [" +
                                                   std::to_string(*id) + "] is over " +
                                                   std::to_string(maxGroupBytes) + " bytes or " +
                                                   std::to_string(maxGroupCharacters) +
                                                   " characters; the involvement is dropped");
        return std::nullopt;
    }
    return ExperimentMarker{.idKey = *id, .group = std::move(*group)};
}

nlohmann::ordered_json ExperimentMarker::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = idKey;
    json["group"] = group;
    return json;
}

}  // namespace mvk
