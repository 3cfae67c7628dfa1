#include "events/LevelResource.hpp"

namespace mvk {

std::optional<LevelResource> LevelResource::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto type = cursor.integer(2);
    auto name = cursor.text(3);
    auto amount = cursor.integer(4);
    if (!id || !userId || !type || !name || !amount) {
        return std::nullopt;
    }
    return LevelResource{
        .idKey = *id,
        .userId = *userId,
        .type = levelResourceTypeFromRawValue(*type).value_or(LevelResourceType::earned),
        .name = std::move(*name),
        .amount = *amount};
}

std::string LevelResource::description() const {
    return "\t userId: " + std::to_string(userId) +
           ", \n\t type: " + std::string(mvk::description(type)) + ", \n\t name: " + name +
           ", \n\t amount: " + std::to_string(amount);
}

}  // namespace mvk
