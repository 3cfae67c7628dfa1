#include "backend/BackendIdentifiers.hpp"

namespace mvk {

BackendIdentifiers BackendIdentifiers::identifiers(SummaryBackendData data) {
    return BackendIdentifiers(Value(std::in_place_index<0>, std::move(data)));
}

BackendIdentifiers BackendIdentifiers::retryAfter(std::int64_t milliseconds) {
    return BackendIdentifiers(Value(Delay{milliseconds}));
}

BackendIdentifiers BackendIdentifiers::error(std::string message) {
    return BackendIdentifiers(Value(Failure{std::move(message)}));
}

BackendIdentifiers BackendIdentifiers::doNotRetry() {
    return BackendIdentifiers(Value(Refusal{}));
}

std::optional<std::int64_t> BackendIdentifiers::retryAfterMillis() const {
    const auto* delay = std::get_if<Delay>(&value_);
    return delay != nullptr ? std::optional(delay->milliseconds) : std::nullopt;
}

const std::string* BackendIdentifiers::errorMessage() const {
    const auto* failure = std::get_if<Failure>(&value_);
    return failure != nullptr ? &failure->message : nullptr;
}

}  // namespace mvk
