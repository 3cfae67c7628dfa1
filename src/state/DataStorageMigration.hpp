#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "state/LegacyArchivedValue.hpp"
#include "state/PlayerPreferencesMigration.hpp"

namespace mvk {

/// One user of the earlier native SDK, as that SDK archived it. A field whose
/// key is missing or holds another type keeps its default.
struct DataStorageMigration {
    static constexpr std::string_view archivedClassName = "DataStorage";

    /// Archive key "level".
    std::optional<std::int64_t> level;
    /// Archive key "userId".
    std::optional<std::string> userUid;
    /// Archive key "prevId".
    std::optional<std::string> prevUid;
    /// Archive key "playerPreferences".
    std::optional<PlayerPreferencesMigration> playerPreferences;
    /// Archive key "transactionIds": empty unless every element is a text.
    std::vector<std::string> transactionIds;
    /// Archive key "tutorCompletedSteps": empty unless every element is an integer.
    std::vector<std::int64_t> tutorCompletedSteps;

    /// Nothing unless `value` is an archived object of `archivedClassName`.
    static std::optional<DataStorageMigration> fromArchived(const LegacyArchivedValue& value);
};

}  // namespace mvk
