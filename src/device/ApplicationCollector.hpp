#pragma once

#include <memory>

#include "device/ApplicationCollectorProtocol.hpp"
#include "platform/ApplicationInfoProtocol.hpp"

namespace mvk {

/// Reads the application values the host set before start-up.
class ApplicationCollector final : public ApplicationCollectorProtocol {
  public:
    explicit ApplicationCollector(std::shared_ptr<const ApplicationInfoProtocol> bundle,
                                  bool isSimulator = false);

    std::string applicationVersion() const override;
    std::string applicationBuildVersion() const override;
    std::string applicationBundle() const override;
    /// A simulator build always counts as a sandbox.
    std::int64_t sandboxState() const override;

  private:
    const std::shared_ptr<const ApplicationInfoProtocol> bundle_;
    const bool isSimulator_;
};

}  // namespace mvk
