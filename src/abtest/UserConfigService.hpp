#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "abtest/ABTestDefaultParamsCache.hpp"
#include "abtest/ABTestManagerProtocol.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "services/UserConfigServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

class UserConfigService final : public UserConfigServiceProtocol {
  public:
    UserConfigService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ABTestManagerProtocol> abTestManager,
        std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
        std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache);

    bool toRemoteConfigParameters(const ExperimentMarker& marker) override;
    /// Empties the applied configuration.
    void clearRemoteConfigParameters() override;
    /// The applied configuration.
    MVKRemoteConfigParameters getUserConfig() override;

    /// The gateway's text read as the kind of the host's default: a truth
    /// value as settings read it, integers in base 10 within their range,
    /// floating numbers in C-locale notation (finite only), a text as it is.
    /// None without a default or when the whole text does not read.
    static std::optional<MVKRemoteConfigDefault> castValue(
        const std::optional<MVKRemoteConfigDefault>& original, std::string_view remote);

  private:
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    const std::shared_ptr<ABTestsExperimentRepositoryProtocol> experiments_;
    const std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache_;
};

}  // namespace mvk
