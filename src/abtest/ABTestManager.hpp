#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "abtest/ABTestManagerProtocol.hpp"
#include "foundation/AnyCodable.hpp"

namespace mvk {

/// The small A/B state the services share: the experiments of the pending
/// offer, the version of the experiments configuration held, and the applied
/// remote parameters. The host reads the parameters from its own thread while
/// the income queue writes them, hence the lock.
class ABTestManager final : public ABTestManagerProtocol {
  public:
    ABTestManager() = default;
    ABTestManager(const ABTestManager&) = delete;
    ABTestManager& operator=(const ABTestManager&) = delete;

    std::optional<std::int64_t> configVersion() const override;
    void setConfigVersion(std::optional<std::int64_t> version);

    std::vector<std::int64_t> suitableExperiments() const override;
    void setSuitableExperiments(std::vector<std::int64_t> experiments);

    AnyCodable::Object config() const;
    void setConfig(AnyCodable::Object config);

  private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> suitableExperiments_;
    std::optional<std::int64_t> configVersion_;
    AnyCodable::Object config_;
};

}  // namespace mvk
