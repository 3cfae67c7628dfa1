#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "abtest/ABTestManagerProtocol.hpp"

namespace mvk {

/// The host reads the parameters from its own thread while the income queue
/// writes them, hence the lock; readers get a whole copy as last written.
class ABTestManager final : public ABTestManagerProtocol {
  public:
    ABTestManager() = default;
    ABTestManager(const ABTestManager&) = delete;
    ABTestManager& operator=(const ABTestManager&) = delete;

    std::vector<std::int64_t> suitableExperiments() const override;
    void setSuitableExperiments(std::vector<std::int64_t> experiments) override;

    std::optional<std::int64_t> configVersion() const override;
    void setConfigVersion(std::optional<std::int64_t> version) override;

    MVKRemoteConfigParameters config() const override;
    void setConfig(MVKRemoteConfigParameters config) override;

  private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> suitableExperiments_;
    std::optional<std::int64_t> configVersion_;
    MVKRemoteConfigParameters config_;
};

}  // namespace mvk
