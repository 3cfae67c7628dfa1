#include "state/MigrationObject.hpp"

#include "foundation/AnyCodable.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

/// Every element converted, or none when the value is no array or one
/// element does not convert.
template <class Element>
std::vector<Element> jsonListOf(const nlohmann::json* value,
                                std::optional<Element> (*convert)(const nlohmann::json&)) {
    std::vector<Element> result;
    if (value == nullptr || !value->is_array()) {
        return result;
    }
    for (const auto& element : *value) {
        auto converted = convert(element);
        if (!converted) {
            return {};
        }
        result.push_back(std::move(*converted));
    }
    return result;
}

PeopleProperties jsonUserCard(const nlohmann::json* value) {
    PeopleProperties card;
    if (value == nullptr || !value->is_object()) {
        return card;
    }
    for (const auto& [key, element] : value->items()) {
        auto any = AnyCodable::fromJson(element);
        // An unsigned beyond the signed range has no card kind in this file.
        if (!any || any->isUInt()) {
            continue;
        }
        if (auto converted = PeopleValueType::fromAnyCodable(*any)) {
            card.insert_or_assign(key, std::move(*converted));
        }
    }
    return card;
}

template <class Items, class Describe>
std::string joined(const Items& items, const std::string& separator, Describe describe) {
    std::string text;
    bool first = true;
    for (const auto& item : items) {
        if (!first) {
            text += separator;
        }
        first = false;
        text += describe(item);
    }
    return text;
}

}  // namespace

std::optional<MigrationObject> MigrationObject::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    MigrationObject object;
    object.deviceId = reader.optionalString("deviceId");
    object.prevDeviceId = reader.optionalString("prevDeviceId");
    object.userId = reader.optionalString("userId");
    object.prevUserId = reader.optionalString("prevUserId");
    object.level = reader.optionalInt("level");
    if (!reader.ok()) {
        return std::nullopt;
    }
    const auto* tracking = reader.optionalValue("trackingAvailable");
    object.trackingAvailable =
        tracking != nullptr ? JsonObjectReader::asBool(*tracking).value_or(true) : true;
    object.userCard = jsonUserCard(reader.optionalValue("userCard"));
    object.transactionIds =
        jsonListOf<std::string>(reader.optionalValue("transactionIds"), JsonObjectReader::asString);
    object.tutorCompletedSteps = jsonListOf<std::int64_t>(
        reader.optionalValue("tutorCompletedSteps"), JsonObjectReader::asInt);
    return object;
}

std::optional<MigrationObject> MigrationObject::fromNativeArchive(
    const UsersStoragesMigration& storages) {
    const auto* storage = storages.activeStorage();
    if (storage == nullptr) {
        return std::nullopt;
    }
    MigrationObject object;
    object.userId = storage->userUid;
    object.prevUserId = storage->prevUid;
    object.trackingAvailable = storages.trackingAvailable;
    object.level = storage->level;
    if (storage->playerPreferences) {
        object.userCard = storage->playerPreferences->userCard();
    }
    object.transactionIds = storage->transactionIds;
    object.tutorCompletedSteps = storage->tutorCompletedSteps;
    return object;
}

std::string MigrationObject::description() const {
    std::string text;
    const auto line = [&text](const char* label, const std::optional<std::string>& value) {
        if (value) {
            text += std::string("\t") + label + ": " + *value + "\n";
        }
    };
    line("deviceId", deviceId);
    line("prevDeviceId", prevDeviceId);
    line("userId", userId);
    line("prevUserId", prevUserId);
    text += std::string("\ttrackingAvailable: ") + (trackingAvailable ? "true" : "false") + "\n";
    if (level) {
        text += "\tlevel: " + std::to_string(*level) + "\n";
    }
    if (!userCard.empty()) {
        text += "\t userCardInfo: \n";
        text += joined(userCard, "\n", [](const auto& property) {
            return "\t\t" + property.first + ": " + property.second.description();
        });
        text += "\n";
    }
    if (!transactionIds.empty()) {
        text += "\ttransactionIds: \n";
        text += joined(transactionIds, ",\n", [](const std::string& id) { return "\t\t" + id; });
        text += "\n";
    }
    if (!tutorCompletedSteps.empty()) {
        text += "\ttutorCompletedSteps: ";
        text += joined(tutorCompletedSteps, ", ",
                       [](std::int64_t step) { return std::to_string(step); });
        text += "\n";
    }
    return text;
}

}  // namespace mvk
