#pragma once

#include <optional>
#include <string>

namespace mvk {

/// A payment transaction as the store reports it.
struct MVKStoreTransaction {
    /// This transaction's own identifier; absent while it is not finished.
    std::optional<std::string> transactionIdentifier;
    /// For a restored or renewed purchase, the identifier of the transaction
    /// that first bought the product; absent otherwise, and when the store
    /// does not know it.
    std::optional<std::string> originalTransactionIdentifier;
    /// The product the payment was for.
    std::string productIdentifier;
};

}  // namespace mvk
