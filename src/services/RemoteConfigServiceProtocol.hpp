#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "records/ABTestUserProperties.hpp"
#include "records/ABTestsExperiment.hpp"
#include "records/RemoteConfig.hpp"

namespace mvk {

/// Keeps the three A/B tables in step with the gateway's experiments
/// configuration and with the users of the project. Income queue only.
class RemoteConfigServiceProtocol {
  public:
    virtual ~RemoteConfigServiceProtocol() = default;

    /// The A/B manager's `configVersion` from the stored project row.
    virtual void prepareInitialState() = 0;
    virtual std::optional<std::int64_t> getABTestsProjectVersion() = 0;
    virtual std::optional<ABTestUserProperties> getUserProperties() = 0;
    /// Stores the version and user properties; the experiments are left alone.
    virtual void applyRemoteConfig(const RemoteConfig& remoteConfig) = 0;
    /// Inserts, rewrites and deletes the project's experiments and their state rows.
    virtual void applyExperiments(const std::vector<ABTestsExperiment>& remoteExperiments) = 0;
    /// Adds the active user's missing state rows.
    virtual void createExperimentState() = 0;
    virtual void deleteExpiredExperiments() = 0;
    /// The experiments are not offered to the active user again until the
    /// gateway changes them.
    virtual void markAsRefused(const std::vector<std::int64_t>& experimentIds) = 0;
    /// Drops the state rows of deleted users.
    virtual void deleteInactiveExperimentsState(const std::vector<std::int64_t>& userIds) = 0;
};

}  // namespace mvk
