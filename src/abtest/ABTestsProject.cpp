#include "abtest/ABTestsProject.hpp"

#include "foundation/JsonCoding.hpp"

namespace mvk {

std::optional<ABTestsProject> ABTestsProject::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto projectId = cursor.integer(1);
    if (!id || !projectId) {
        return std::nullopt;
    }
    ABTestsProject row{.idKey = *id, .projectId = *projectId};
    row.version = cursor.integer(2).value_or(0);
    if (auto text = cursor.text(3)) {
        row.userProperties = decodeJson<ABTestUserProperties>(*text);
    }
    return row;
}

}  // namespace mvk
