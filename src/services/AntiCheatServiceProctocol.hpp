#pragma once

#include "mvk/MVKVerifyResponse.hpp"
#include "records/Receipt.hpp"
#include "records/ReceiptRequestContext.hpp"

namespace mvk {

/// Verifies purchase receipts with the gateway.
class AntiCheatServiceProctocol {
  public:
    virtual ~AntiCheatServiceProctocol() = default;

    /// The active project's key, the active user's identifiers and the
    /// bundle. On the income queue.
    virtual ReceiptRequestContext requestContext() = 0;
    /// One synchronous request, no retry; every outcome maps to a response.
    /// On the anticheat queue.
    virtual MVKVerifyResponse receiveReceiptStatus(const Receipt& receipt,
                                                   const ReceiptRequestContext& context) = 0;
};

}  // namespace mvk
