#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/RestoredTransaction.hpp"
#include "events/SubscriptionProduct.hpp"
#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The subscription state of one project: the products last seen in the
/// store, the restored history waiting to be sent, and the flags that decide
/// when the products and restored-transactions events are sent again. One row
/// of "subscriptions"; the row cache and the subscription service share one
/// object and change it in place.
struct SubscriptionInfo {
    /// Empty lists, every flag false, not stored yet.
    explicit SubscriptionInfo(std::int64_t projectId) : projectId(projectId) {}

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// Row id of the project in "projects".
    std::int64_t projectId;
    /// In the order the store answered them.
    std::vector<SubscriptionProduct> products;
    std::vector<RestoredTransaction> restoredTransaction;
    /// The history has been collected (or sent) since the last reset.
    bool alreadyRestored = false;
    /// The restored-transactions event has been sent since the last reset.
    bool alreadySendRestoreEvent = false;
    /// The products changed and their event is still to be sent.
    bool productIsChanged = false;

    /// Columns id, projectId, products, restoredTransaction, alreadyRestored,
    /// productIsChanged, alreadySendRestoreEvent. Absent when the id or project
    /// id is not an integer or a list column not a text; a list text that is
    /// empty or does not decode gives an empty list, and the flags still read.
    static std::optional<SubscriptionInfo> fromCursor(const Cursor& cursor);

    /// Every column but the id, lists included, for an insert or an update.
    /// A list that cannot be written is stored as "[]".
    ContentValues contentValues() const;

    /// {"idKey", "projectId", "products", "restoredTransaction",
    /// "alreadyRestored", "alreadySendRestoreEvent", "productIsChanged"};
    /// absent when a price cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;
    /// Every key is required.
    static std::optional<SubscriptionInfo> fromJson(const nlohmann::json& json);

    bool operator==(const SubscriptionInfo&) const = default;
};

}  // namespace mvk
