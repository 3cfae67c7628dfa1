#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "backend/Attempt.hpp"
#include "backend/RetryAfter.hpp"
#include "backend/SummaryBackendData.hpp"

namespace mvk {

/// How an identification request ended, as its caller sees it: the user's
/// ids and data, a request to ask again later, a failure with its text, or a
/// refusal that must not be retried.
class BackendIdentifiers {
  public:
    using Attempt = mvk::Attempt;
    using RetryAfter = mvk::RetryAfter;
    using SummaryBackendData = mvk::SummaryBackendData;

    enum class Case { identifiers, retryAfter, error, doNotRetry };

    /// The gateway answered 200 with the user's ids and data.
    static BackendIdentifiers identifiers(SummaryBackendData data);
    /// The gateway answered 202; ask again after `milliseconds`.
    static BackendIdentifiers retryAfter(std::int64_t milliseconds);
    /// Any failure, with its text.
    static BackendIdentifiers error(std::string message);
    /// The gateway answered 422.
    static BackendIdentifiers doNotRetry();

    Case kind() const { return static_cast<Case>(value_.index()); }

    /// Each answers its case's payload, or nothing for another case.
    const SummaryBackendData* summary() const { return std::get_if<SummaryBackendData>(&value_); }
    std::optional<std::int64_t> retryAfterMillis() const;
    const std::string* errorMessage() const;

    friend bool operator==(const BackendIdentifiers&, const BackendIdentifiers&) = default;

  private:
    struct Delay {
        std::int64_t milliseconds;
        friend bool operator==(const Delay&, const Delay&) = default;
    };
    struct Failure {
        std::string message;
        friend bool operator==(const Failure&, const Failure&) = default;
    };
    struct Refusal {
        friend bool operator==(const Refusal&, const Refusal&) = default;
    };
    using Value = std::variant<SummaryBackendData, Delay, Failure, Refusal>;

    explicit BackendIdentifiers(Value value) : value_(std::move(value)) {}

    // Alternative order matches `Case`.
    Value value_;
};

}  // namespace mvk
