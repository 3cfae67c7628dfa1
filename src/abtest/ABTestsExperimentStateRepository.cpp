#include "abtest/ABTestsExperimentStateRepository.hpp"

#include "foundation/JsonCoding.hpp"

namespace mvk {

ContentValues ABTestsExperimentStateRepository::columns(const ABTestsExperimentState& state) {
    ContentValues columns = {
        {std::string(Entry::userId), state.userId},
        {std::string(Entry::experimentId), state.experimentId},
        {std::string(Entry::runAbility), state.runAbility},
    };
    // A marker that cannot be written is left out, so an update keeps the stored one.
    auto involvement = state.involvement ? toJSONData(*state.involvement) : std::string();
    if (involvement) {
        columns.emplace_back(std::string(Entry::involvement), std::move(*involvement));
    }
    return columns;
}

}  // namespace mvk
