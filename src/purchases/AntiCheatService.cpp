#include "purchases/AntiCheatService.hpp"

#include <utility>

namespace mvk {

AntiCheatService::AntiCheatService(std::shared_ptr<StateManagerProtocol> stateManager,
                                   std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                                   std::shared_ptr<BackendProtocol> backend)
    : stateManager_(std::move(stateManager)),
      projectRepository_(std::move(projectRepository)),
      backend_(std::move(backend)) {}

ReceiptRequestContext AntiCheatService::requestContext() {
    return ReceiptRequestContext{
        .applicationKey = stateManager_->getActiveProject()->applicationKey(),
        .identifiers = stateManager_->getIdentifiers(*stateManager_->getActiveUser()),
    };
}

MVKVerifyResponse AntiCheatService::receiveReceiptStatus(const Receipt& receipt,
                                                         const ReceiptRequestContext& context) {
    if (!backend_->hasGateway()) {
        // The check fails as one that got no answer would.
        return MVKVerifyResponse(MVKReceiptStatus::internalError);
    }
    return backend_->sendVerifyReceipt(context.applicationKey, receipt, context.identifiers);
}

}  // namespace mvk
