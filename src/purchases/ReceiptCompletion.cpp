#include "purchases/ReceiptCompletion.hpp"

#include <utility>

#include "platform/GuardedCall.hpp"

namespace mvk {

ReceiptCompletion::ReceiptCompletion(Handler handler) : state_(std::make_shared<State>()) {
    state_->handler = std::move(handler);
}

bool ReceiptCompletion::complete(const MVKVerifyResponse& response) const noexcept {
    if (state_->done.exchange(true)) {
        return false;
    }
    // Released once called, so a handler that holds the caller's objects
    // does not keep them alive in a queue's captures.
    auto handler = std::move(state_->handler);
    state_->handler = nullptr;
    if (handler) {
        callGuarded("The verifyPayment completion", [&] { handler(response); });
    }
    return true;
}

bool ReceiptCompletion::fail() const noexcept {
    return complete(MVKVerifyResponse(MVKReceiptStatus::internalError));
}

}  // namespace mvk
