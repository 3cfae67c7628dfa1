#pragma once

#include <memory>
#include <set>
#include <string>

#include "mvk/MVKStoreProductsRequest.hpp"
#include "mvk/MVKStoreProductsRequestDelegate.hpp"

namespace mvk {

/// The application store, as the host (or its engine plugin) reaches it. The
/// library has no store of its own: install one with `MVKApplication::setStore`
/// before `MVKAnalytics::initialize`. Without one, product requests are never
/// answered, so no subscription products are reported.
class MVKStore {
  public:
    virtual ~MVKStore() = default;

    /// A request for the products with these identifiers, not started yet.
    /// The delegate's calls should come on the store's own thread. Answering
    /// null means the store cannot ask; the library then waits for the next
    /// request.
    virtual std::shared_ptr<MVKStoreProductsRequest> makeProductsRequest(
        const std::set<std::string>& productIdentifiers,
        std::shared_ptr<MVKStoreProductsRequestDelegate> delegate) = 0;
};

}  // namespace mvk
