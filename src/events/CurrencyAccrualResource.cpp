#include "events/CurrencyAccrualResource.hpp"

namespace mvk {

std::optional<CurrencyAccrualResource> CurrencyAccrualResource::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto type = cursor.integer(2);
    auto name = cursor.text(3);
    auto amount = cursor.integer(4);
    auto source = cursor.text(5);
    auto timestamp = cursor.integer(6);
    if (!id || !userId || !type || !name || !amount || !source || !timestamp) {
        return std::nullopt;
    }
    return CurrencyAccrualResource{.idKey = *id,
                                   .userId = *userId,
                                   .type = *type == rawValue(MVKAccrualType::bought)
                                               ? MVKAccrualType::bought
                                               : MVKAccrualType::earned,
                                   .name = std::move(*name),
                                   .amount = *amount,
                                   .source = std::move(*source),
                                   .timestamp = *timestamp};
}

std::string CurrencyAccrualResource::description() const {
    return "\t userId: " + std::to_string(userId) +
           ", \n\t type: " + std::string(mvk::description(type)) + ", \n\t name: " + name +
           ", \n\t amount: " + std::to_string(amount) + " \n\t source: " + source;
}

}  // namespace mvk
