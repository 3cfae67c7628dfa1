#pragma once

#include "records/MessagingProtocol.hpp"
#include "state/LogicProxyBase.hpp"

namespace mvk {

/// Entry of the push-messaging calls. Until start-up installs the messaging
/// logic each queued call is dropped with the not-initialised line, and a
/// categories completion is then never called.
class MessagingLogicProxy final : public LogicProxyBase<MessagingProtocol>,
                                  public MessagingProtocol {
  public:
    using LogicProxyBase::LogicProxyBase;

    void pushToken(const std::string& token, bool isAllowed) override;
    void pushOpened(std::int64_t timestamp, std::int64_t pushId,
                    const std::optional<std::string>& button) override;
    void getPushCategories(CategoriesCompletion completion) override;
};

}  // namespace mvk
