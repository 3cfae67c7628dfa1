#include "state/PlayerPreferencesMigration.hpp"

namespace mvk {

namespace {

using Kind = LegacyArchivedValue::Kind;

std::optional<AnyCodable> plainValue(const LegacyArchivedValue& value) {
    switch (value.kind()) {
        case Kind::null:
            return AnyCodable();
        case Kind::boolean:
            return AnyCodable(*value.asBool());
        case Kind::integer:
        case Kind::real:
            // A real that holds a whole number counts as an integer, as the
            // platform's numbers do.
            if (auto whole = value.asInteger()) {
                return AnyCodable(*whole);
            }
            return AnyCodable(*value.asNumber());
        case Kind::text:
            return AnyCodable(*value.asText());
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<PlayerPreferencesMigration> PlayerPreferencesMigration::fromArchived(
    const LegacyArchivedValue& value) {
    if (value.kind() != Kind::object || value.className() != archivedClassName) {
        return std::nullopt;
    }
    PlayerPreferencesMigration result;
    for (const auto& [key, element] : value.member("preferences").entries()) {
        auto name = key.asText();
        if (!name) {
            result.preferences.clear();
            break;
        }
        if (auto plain = plainValue(element)) {
            result.preferences.insert_or_assign(std::move(*name), std::move(*plain));
        }
    }
    return result;
}

PeopleProperties PlayerPreferencesMigration::userCard() const {
    PeopleProperties card;
    for (const auto& [key, value] : preferences) {
        if (auto converted = PeopleValueType::fromAnyCodable(value)) {
            card.emplace(key, std::move(*converted));
        }
    }
    return card;
}

}  // namespace mvk
