#pragma once

#include "abtest/ABTestProxyProtocol.hpp"
#include "state/LogicProxyBase.hpp"

namespace mvk {

/// Holds the A/B logic once start-up has built it; without a remote-configuration
/// listener it never gets one, and every call is dropped with the
/// not-initialised line.
class ABTestProxy final : public ABTestProxyProtocol, public LogicProxyBase<ABTestLogicProtocol> {
  public:
    using LogicProxyBase::LogicProxyBase;

    void initialize(std::shared_ptr<ABTestLogicProtocol> abTestLogic) override;
    void tryStartInvolvedExperiment() override;
    MVKRemoteConfigParameters getConfig() override;
    void resetConfig() override;
};

}  // namespace mvk
