#include "mvk/MVKVerifyResponse.hpp"

namespace mvk {

MVKVerifyResponse::MVKVerifyResponse(MVKReceiptStatus receiptStatus,
                                     std::optional<std::string> verificationResult)
    : receiptStatus_(receiptStatus), verificationResult_(std::move(verificationResult)) {}

std::string MVKVerifyResponse::description() const {
    std::string text = "receiptStatus: [" + std::string(mvk::description(receiptStatus_)) + "]";
    if (verificationResult_) {
        text += " verificationResult: [" + *verificationResult_ + "]";
    }
    return text;
}

}  // namespace mvk
