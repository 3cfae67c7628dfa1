#pragma once

#include "core/LogicProxyBase.hpp"
#include "people/PeopleLogicProtocol.hpp"

namespace mvk {

/// Entry of the user-card calls. Until start-up installs the user-card logic
/// each queued call is dropped with the not-initialised line.
class PeopleLogicProxy final : public LogicProxyBase<PeopleLogicProtocol> {
  public:
    using LogicProxyBase::LogicProxyBase;
};

}  // namespace mvk
