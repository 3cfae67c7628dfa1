#pragma once

#include <string>
#include <vector>

#include "mvk/MVKStoreProduct.hpp"

namespace mvk {

/// Hears how a products request ends. The library's delegate only hands the
/// news over to its own queue: the store may call it on any thread, inside
/// `start`, more than once, or after the library has shut down.
class MVKStoreProductsRequestDelegate {
  public:
    virtual ~MVKStoreProductsRequestDelegate() = default;

    /// The products the store knows among those asked for.
    virtual void didReceiveProducts(std::vector<MVKStoreProduct> products) = 0;
    /// The request is over; usually follows the products.
    virtual void didFinish() = 0;
    /// The request failed; the text says why.
    virtual void didFail(std::string errorDescription) = 0;
};

}  // namespace mvk
