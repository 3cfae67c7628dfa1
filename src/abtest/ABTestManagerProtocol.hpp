#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// The small A/B state the services share: the experiments of the pending
/// offer, the version of the experiments configuration held, and the applied
/// remote parameters. Written on the income queue; `config` is also read on
/// the host's thread.
class ABTestManagerProtocol {
  public:
    virtual ~ABTestManagerProtocol() = default;

    virtual std::vector<std::int64_t> suitableExperiments() const = 0;
    virtual void setSuitableExperiments(std::vector<std::int64_t> experiments) = 0;

    virtual std::optional<std::int64_t> configVersion() const = 0;
    virtual void setConfigVersion(std::optional<std::int64_t> version) = 0;

    virtual MVKRemoteConfigParameters config() const = 0;
    virtual void setConfig(MVKRemoteConfigParameters config) = 0;
};

}  // namespace mvk
