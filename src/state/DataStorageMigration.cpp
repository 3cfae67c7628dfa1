#include "state/DataStorageMigration.hpp"

namespace mvk {

namespace {

/// Every element converted, or none when one of them does not convert.
template <class Convert>
auto listOf(const LegacyArchivedValue& value, Convert convert) {
    using Element = typename decltype(convert(value))::value_type;
    std::vector<Element> result;
    for (const auto& element : value.elements()) {
        auto converted = convert(element);
        if (!converted) {
            return std::vector<Element>();
        }
        result.push_back(std::move(*converted));
    }
    return result;
}

}  // namespace

std::optional<DataStorageMigration> DataStorageMigration::fromArchived(
    const LegacyArchivedValue& value) {
    if (value.kind() != LegacyArchivedValue::Kind::object ||
        value.className() != archivedClassName) {
        return std::nullopt;
    }
    DataStorageMigration result;
    result.level = value.member("level").asInteger();
    result.userUid = value.member("userId").asText();
    result.prevUid = value.member("prevId").asText();
    result.playerPreferences =
        PlayerPreferencesMigration::fromArchived(value.member("playerPreferences"));
    result.transactionIds = listOf(value.member("transactionIds"),
                                   [](const LegacyArchivedValue& e) { return e.asText(); });
    result.tutorCompletedSteps = listOf(value.member("tutorCompletedSteps"),
                                        [](const LegacyArchivedValue& e) { return e.asInteger(); });
    return result;
}

}  // namespace mvk
