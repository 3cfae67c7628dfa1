#pragma once

#include "core/LogicProxyBase.hpp"
#include "messaging/MessagingProtocol.hpp"

namespace mvk {

/// Entry of the push-messaging calls. Until start-up installs the messaging
/// logic each queued call is dropped with the not-initialised line.
class MessagingLogicProxy final : public LogicProxyBase<MessagingProtocol> {
  public:
    using LogicProxyBase::LogicProxyBase;
};

}  // namespace mvk
