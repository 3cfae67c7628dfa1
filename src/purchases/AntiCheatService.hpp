#pragma once

#include <memory>

#include "backend/BackendProtocol.hpp"
#include "services/AntiCheatServiceProctocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

class AntiCheatService final : public AntiCheatServiceProctocol {
  public:
    AntiCheatService(std::shared_ptr<StateManagerProtocol> stateManager,
                     std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                     std::shared_ptr<BackendProtocol> backend);

    ReceiptRequestContext requestContext() override;
    MVKVerifyResponse receiveReceiptStatus(const Receipt& receipt,
                                           const ReceiptRequestContext& context) override;

  private:
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<BackendProtocol> backend_;
};

}  // namespace mvk
