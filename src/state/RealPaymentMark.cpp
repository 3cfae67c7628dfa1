#include "state/RealPaymentMark.hpp"

namespace mvk {

std::optional<RealPaymentMark> RealPaymentMark::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto projectId = cursor.integer(1);
    auto orderId = cursor.text(2);
    if (!id || !projectId || !orderId) {
        return std::nullopt;
    }
    return RealPaymentMark{.idKey = *id, .projectId = *projectId, .orderId = std::move(*orderId)};
}

}  // namespace mvk
