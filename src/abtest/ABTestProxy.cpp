#include "abtest/ABTestProxy.hpp"

namespace mvk {

void ABTestProxy::initialize(std::shared_ptr<ABTestLogicProtocol> abTestLogic) {
    installLogic(std::move(abTestLogic));
}

}  // namespace mvk
