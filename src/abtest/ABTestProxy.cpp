#include "abtest/ABTestProxy.hpp"

#include "state/NotInitializedLine.hpp"

namespace mvk {

void ABTestProxy::initialize(std::shared_ptr<ABTestLogicProtocol> abTestLogic) {
    installLogic(std::move(abTestLogic));
}

void ABTestProxy::tryStartInvolvedExperiment() {
    enqueue("tryStartInvolvedExperiment()", heldBytes(),
            [](ABTestLogicProtocol& logic) { logic.tryStartInvolvedExperiment(); });
}

MVKRemoteConfigParameters ABTestProxy::getConfig() {
    auto installed = logic();
    if (!installed) {
        NotInitializedLine::shared().dropped("getConfig()");
        return {};
    }
    return installed->getConfig();
}

void ABTestProxy::resetConfig() {
    enqueue("resetConfig()", heldBytes(), [](ABTestLogicProtocol& logic) { logic.resetConfig(); });
}

}  // namespace mvk
