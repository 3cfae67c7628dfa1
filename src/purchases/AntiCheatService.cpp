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
    ReceiptRequestContext context{
        .applicationKey = stateManager_->getActiveProject()->applicationKey(),
        .identifiers = stateManager_->getIdentifiers(*stateManager_->getActiveUser()),
    };
    auto bundle = stateManager_->getAppData().applicationBundle;
    if (!bundle.empty()) {
        context.bundle = std::move(bundle);
    }
    return context;
}

MVKVerifyResponse AntiCheatService::receiveReceiptStatus(const Receipt& receipt,
                                                         const ReceiptRequestContext& context) {
    return backend_->sendVerifyReceipt(context.applicationKey, receipt, context.identifiers);
}

}  // namespace mvk
