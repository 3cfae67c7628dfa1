#include "records/ReceiptResult.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ReceiptResult> ReceiptResult::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    ReceiptResult result{.verificationResult = reader.optionalString("verificationResult"),
                         .status = reader.optionalInt("status")};
    if (!reader.ok()) {
        return std::nullopt;
    }
    return result;
}

std::string ReceiptResult::description() const {
    std::string text;
    if (verificationResult) {
        text += "\tverificationResult: " + *verificationResult + "\n";
    }
    if (status) {
        text += "\tstatus: " + std::to_string(*status);
    }
    return text;
}

}  // namespace mvk
