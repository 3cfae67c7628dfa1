#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "backend/UserIdentifiers.hpp"
#include "records/UserData.hpp"

namespace mvk {

/// The identification answer: the user's gateway ids and what the gateway
/// knows of the user.
struct SummaryBackendData {
    UserIdentifiers userIdentifications{};
    UserData userData{};

    /// The gateway sends one flat object: both parts are read from the same
    /// top-level members.
    static std::optional<SummaryBackendData> fromJson(const nlohmann::json& json,
                                                      std::string* error = nullptr);
    /// Nested: {"userIdentifications": {...}, "userData": {...}}.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const SummaryBackendData&, const SummaryBackendData&) = default;
};

}  // namespace mvk
