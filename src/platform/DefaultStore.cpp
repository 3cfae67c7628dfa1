#include "platform/DefaultStore.hpp"

namespace mvk {

namespace {

class SilentRequest final : public MVKStoreProductsRequest {
  public:
    void start() override {}
    void cancel() override {}
};

}  // namespace

std::shared_ptr<MVKStoreProductsRequest> DefaultStore::makeProductsRequest(
    const std::set<std::string>&, std::shared_ptr<MVKStoreProductsRequestDelegate>) {
    return std::make_shared<SilentRequest>();
}

}  // namespace mvk
