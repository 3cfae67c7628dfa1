#pragma once

#include <functional>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKVerifyResponse.hpp"

namespace mvk {

/// Asks the gateway whether a purchase receipt is genuine. Every call may be
/// made from any thread, returns at once and never throws; its completion is
/// called exactly once, on a library thread, also on every failure (then with
/// `MVKReceiptStatus::internalError`, or `serverError` when the gateway
/// refused the request). Like a getter, a verification is never refused at
/// the bound on the calls waiting to be stored; its receipt counts against
/// the other calls.
class MVK_EXPORT MVKAntiCheat {
  public:
    using CompletionHandler = std::function<void(const MVKVerifyResponse&)>;

    MVKAntiCheat() = delete;

    /// Verifies the receipt text the host has (base64, as the store gave it).
    static void verifyPayment(const std::string& receiptString,
                              CompletionHandler completionHandler) noexcept;
    /// Verifies the receipt file named by `MVKApplication::setAppStoreReceiptPath`.
    static void verifyPayment(CompletionHandler completionHandler) noexcept;
};

}  // namespace mvk
