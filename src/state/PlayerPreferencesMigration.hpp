#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/AnyCodable.hpp"
#include "events/PeopleValueType.hpp"
#include "state/LegacyArchivedValue.hpp"

namespace mvk {

/// The player preferences a user of the earlier native SDK had set, as that
/// SDK archived them.
struct PlayerPreferencesMigration {
    static constexpr std::string_view archivedClassName = "PlayerPreferences";

    /// Archive key "preferences": plain values by name (null, bool, integer,
    /// double or text; a real holding a whole number is an integer). Values of other kinds are not
    /// kept: a user card cannot hold them. Empty when the key is missing, is no dictionary, or has
    /// a name that is no text.
    std::map<std::string, AnyCodable> preferences;

    /// Nothing unless `value` is an archived object of `archivedClassName`.
    static std::optional<PlayerPreferencesMigration> fromArchived(const LegacyArchivedValue& value);

    /// The preferences as user-card values, each of its own kind.
    PeopleProperties userCard() const;
};

}  // namespace mvk
