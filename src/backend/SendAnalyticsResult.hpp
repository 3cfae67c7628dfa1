#pragma once

#include <optional>
#include <variant>

#include "foundation/MVKError.hpp"

namespace mvk {

/// How sending one report request ended: accepted, or failed with a text the
/// caller logs.
class SendAnalyticsResult {
  public:
    static SendAnalyticsResult success(bool value = true) { return SendAnalyticsResult(value); }
    static SendAnalyticsResult failure(MVKError error) {
        return SendAnalyticsResult(std::move(error));
    }

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
};

}  // namespace mvk
