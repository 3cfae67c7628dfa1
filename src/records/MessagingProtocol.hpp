#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/MessagingCategory.hpp"

namespace mvk {

/// The push-messaging calls, as the proxy forwards them to the logic on the
/// income queue.
class MessagingProtocol {
  public:
    using CategoriesCompletion = std::function<void(const std::vector<MessagingCategory>&)>;

    virtual ~MessagingProtocol() = default;

    virtual void pushToken(const std::string& token, bool isAllowed) = 0;
    /// `timestamp` is the host's time of the opening, in milliseconds.
    virtual void pushOpened(std::int64_t timestamp, std::int64_t pushId,
                            const std::optional<std::string>& button) = 0;
    virtual void getPushCategories(CategoriesCompletion completion) = 0;
};

}  // namespace mvk
