#pragma once

#include "records/MessagingProtocol.hpp"

namespace mvk {

/// Fetches the project's push categories and keeps them in step with the
/// gateway's answers.
class MessagingServiceProtocol {
  public:
    virtual ~MessagingServiceProtocol() = default;

    /// Starts on the income queue; the completion runs on the messaging queue
    /// with every category the project has after the answer.
    virtual void getPushCategories(MessagingProtocol::CategoriesCompletion completion) = 0;
    /// Answers still on their way change nothing from now on.
    virtual void stop() = 0;
};

}  // namespace mvk
