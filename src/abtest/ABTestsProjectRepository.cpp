#include "abtest/ABTestsProjectRepository.hpp"

#include "foundation/JsonCoding.hpp"

namespace mvk {

ContentValues ABTestsProjectRepository::columns(const ABTestsProject& project) {
    auto userProperties =
        project.userProperties ? toJSONData(*project.userProperties).value_or("") : "null";
    return {
        {std::string(Entry::projectId), project.projectId},
        {std::string(Entry::version), project.version},
        {std::string(Entry::userProperties), std::move(userProperties)},
    };
}

}  // namespace mvk
