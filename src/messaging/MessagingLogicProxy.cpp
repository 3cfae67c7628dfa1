#include "messaging/MessagingLogicProxy.hpp"

#include <utility>

#include "foundation/Utf8.hpp"

namespace mvk {

void MessagingLogicProxy::pushToken(const std::string& token, bool isAllowed) {
    enqueue("pushToken(_:_:)", heldBytes(token), [token, isAllowed](MessagingProtocol& logic) {
        logic.pushToken(Utf8::sanitized(token), isAllowed);
    });
}

void MessagingLogicProxy::pushOpened(std::int64_t timestamp, std::int64_t pushId,
                                     const std::optional<std::string>& button) {
    enqueue("pushOpened(_:_:_:)", heldBytes(button),
            [timestamp, pushId, button](MessagingProtocol& logic) {
                std::optional<std::string> cleanButton;
                if (button) {
                    cleanButton = Utf8::sanitized(*button);
                }
                logic.pushOpened(timestamp, pushId, cleanButton);
            });
}

void MessagingLogicProxy::getPushCategories(CategoriesCompletion completion) {
    // Never completed without a logic, as the bridge's call promises.
    enqueueGetter(
        "getPushCategories(_:)", heldBytes(),
        [completion = std::move(completion)](MessagingProtocol& logic) mutable {
            logic.getPushCategories(std::move(completion));
        },
        [] {});
}

}  // namespace mvk
