#pragma once

namespace mvk {

/// One question to the store about a set of products.
class MVKStoreProductsRequest {
  public:
    virtual ~MVKStoreProductsRequest() = default;

    /// Asks the store; the answer comes later through the delegate.
    virtual void start() = 0;
    /// The library no longer wants the answer. Calls after an answer, or
    /// twice, must do no harm.
    virtual void cancel() = 0;
};

}  // namespace mvk
