#pragma once

#include <optional>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKReceiptStatus.hpp"

namespace mvk {

/// The outcome of a receipt verification, handed to the host's completion:
/// the verdict and, when the gateway gave one, its own result text.
class MVK_EXPORT MVKVerifyResponse {
  public:
    MVKVerifyResponse(MVKReceiptStatus receiptStatus,
                      std::optional<std::string> verificationResult = std::nullopt);

    MVKReceiptStatus receiptStatus() const { return receiptStatus_; }
    const std::optional<std::string>& verificationResult() const { return verificationResult_; }

    /// "receiptStatus: [Receipt valid]", followed by " verificationResult: [<text>]"
    /// when there is a result text.
    std::string description() const;

    friend bool operator==(const MVKVerifyResponse&, const MVKVerifyResponse&) = default;

  private:
    MVKReceiptStatus receiptStatus_;
    std::optional<std::string> verificationResult_;
};

}  // namespace mvk
