#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/MassagingButtonInfo.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// A push-notification category (a set of action buttons) that the gateway
/// defines for the project. One row of "messagingCategory"; a value row.
struct MessagingCategory {
    /// The row id once stored; -1 for a category from the gateway not stored yet.
    std::int64_t idKey = -1;
    /// The category's identifier (column "identifier").
    std::string id{};
    std::vector<MassagingButtonInfo> buttons{};

    /// Columns id, identifier, buttons. A row whose id is not an integer, whose
    /// identifier or buttons is not text, or whose buttons do not decode, is
    /// skipped.
    static std::optional<MessagingCategory> fromCursor(const Cursor& cursor);

    /// The gateway's form: "id" (text) and "buttons" (an array of buttons in
    /// the gateway's form) are required; the result has `idKey` -1.
    static std::optional<MessagingCategory> fromJson(const nlohmann::json& json);
    /// "id" and "buttons", as handed to the host; `idKey` is never written.
    nlohmann::ordered_json toJson() const;

    friend bool operator==(const MessagingCategory&, const MessagingCategory&) = default;
};

}  // namespace mvk
