#pragma once

#include <cstdint>

#include "analytics/AnalyticsProtocol.hpp"
#include "core/LogicProxyBase.hpp"

namespace mvk {

/// Entry of every analytics call. Until start-up installs the analytics logic
/// each queued call is dropped with the not-initialised line.
class AnalyticsProxy final : public LogicProxyBase<AnalyticsProtocol> {
  public:
    using LogicProxyBase::LogicProxyBase;

    /// Runs on the caller's queue, not queued: the shut-down block calls it
    /// on the income queue already.
    void stopSDK();

    /// How many parameters a custom event may carry; answered on the caller's
    /// thread: the installed logic's copy of the configuration's limit, or
    /// the default configuration's before start-up.
    std::int64_t getCustomEventParamsCount() const;
};

}  // namespace mvk
