#pragma once

#include <memory>
#include <mutex>

#include "purchases/AntiCheatServiceProctocol.hpp"

namespace mvk {

/// Receipt verification. It exists as long as the core; start-up gives it its
/// service, which the host's calls may read from any thread.
class AntiCheatLogic final {
  public:
    AntiCheatLogic() = default;
    AntiCheatLogic(const AntiCheatLogic&) = delete;
    AntiCheatLogic& operator=(const AntiCheatLogic&) = delete;

    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService() const;
    void setAntiCheatService(std::shared_ptr<AntiCheatServiceProctocol> service);

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService_;
};

}  // namespace mvk
