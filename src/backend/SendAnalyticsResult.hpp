#pragma once

#include <optional>
#include <variant>

#include "foundation/MVKError.hpp"

namespace mvk {

/// How sending one report request ended: accepted, or failed with a text the
/// caller logs and, when the gateway answered at all, its HTTP status, so a
/// permanent refusal can be told apart from a passing fault.
class SendAnalyticsResult {
  public:
    static SendAnalyticsResult success(bool value = true) { return SendAnalyticsResult(value); }
    static SendAnalyticsResult failure(MVKError error,
                                       std::optional<int> statusCode = std::nullopt) {
        SendAnalyticsResult result(std::move(error));
        result.statusCode_ = statusCode;
        return result;
    }

    /// The gateway's status of a failure; absent for a transport error.
    std::optional<int> statusCode() const { return statusCode_; }

    bool isSuccess() const { return std::holds_alternative<bool>(value_); }
    /// The success value, or nothing for a failure.
    std::optional<bool> value() const {
        const bool* value = std::get_if<bool>(&value_);
        return value != nullptr ? std::optional(*value) : std::nullopt;
    }
    /// The failure, or null for a success.
    const MVKError* error() const { return std::get_if<MVKError>(&value_); }

  private:
    explicit SendAnalyticsResult(std::variant<bool, MVKError> value) : value_(std::move(value)) {}

    std::variant<bool, MVKError> value_;
    std::optional<int> statusCode_;
};

}  // namespace mvk
