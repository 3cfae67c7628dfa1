#pragma once

#include "mvk/MVKStore.hpp"

namespace mvk {

/// The store of a host that installed none: its requests start and cancel
/// without effect and never answer, so no products are reported and nothing
/// is retried.
class DefaultStore final : public MVKStore {
  public:
    std::shared_ptr<MVKStoreProductsRequest> makeProductsRequest(
        const std::set<std::string>& productIdentifiers,
        std::shared_ptr<MVKStoreProductsRequestDelegate> delegate) override;
};

}  // namespace mvk
