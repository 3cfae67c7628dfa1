#include "mvk/MVKAntiCheat.hpp"

#include <utility>

#include "core/Core.hpp"
#include "platform/GuardedCall.hpp"
#include "purchases/ReceiptCompletion.hpp"

namespace mvk {

namespace {

/// Hands the verification to the core's logic; when that fails before the
/// logic took it, the host still gets its one answer.
template <class Call>
void handOver(MVKAntiCheat::CompletionHandler handler, Call call) noexcept {
    callGuarded("verifyPayment", [&] {
        const ReceiptCompletion completion(std::move(handler));
        bool handed = false;
        callGuarded("verifyPayment", [&] {
            // Queued before the core's stop, or on the next core.
            Core::withLiveCore([&](Core& core) { call(core.antiCheatLogic(), completion); });
            handed = true;
        });
        // Nothing throws once the logic has queued the block, so a failure
        // here means no block holds the completion.
        if (!handed) {
            completion.fail();
        }
    });
}

}  // namespace

void MVKAntiCheat::verifyPayment(const std::string& receiptString,
                                 CompletionHandler completionHandler) noexcept {
    handOver(std::move(completionHandler),
             [&](AntiCheatLogic& logic, const ReceiptCompletion& completion) {
                 logic.verifyPayment(receiptString, completion);
             });
}

void MVKAntiCheat::verifyPayment(CompletionHandler completionHandler) noexcept {
    handOver(std::move(completionHandler),
             [](AntiCheatLogic& logic, const ReceiptCompletion& completion) {
                 logic.verifyPaymentWithCompletion(completion);
             });
}

}  // namespace mvk
