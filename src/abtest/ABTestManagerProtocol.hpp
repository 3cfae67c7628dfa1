#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace mvk {

/// What the configuration service reads of the A/B manager: the version of the
/// experiment configuration it holds, and the experiments the user qualifies
/// for. Read on the income queue.
class ABTestManagerProtocol {
  public:
    virtual ~ABTestManagerProtocol() = default;

    virtual std::optional<std::int64_t> configVersion() const = 0;
    virtual std::vector<std::int64_t> suitableExperiments() const = 0;
};

}  // namespace mvk
