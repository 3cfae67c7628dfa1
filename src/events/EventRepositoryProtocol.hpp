#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "events/EventObject.hpp"

namespace mvk {

/// The stored events of every user. Only each user's number of stored events
/// is kept in memory, never the rows: a backlog of weeks costs its count, and
/// the rows are read from the table in bounded chunks when they are packed.
///
/// Reads answer absent when the table cannot be read (never an empty list or
/// 0 in its place); writes answer whether they were done. Used on the income
/// queue only.
class EventRepositoryProtocol {
  public:
    virtual ~EventRepositoryProtocol() = default;

    /// Stores the event and gives it its row id; absent, with the event's id
    /// untouched and nothing counted, when the insert failed.
    virtual std::optional<std::int64_t> insert(EventObject& event) = 0;

    /// As `insert`, with `alongside` (the change the stored event allows) in
    /// the same transaction: both are committed when the id is answered, or
    /// neither is, `alongside` answering false included.
    virtual std::optional<std::int64_t> insert(EventObject& event,
                                               const std::function<bool()>& alongside) = 0;

    /// The user's number of stored events; the counts are read from the
    /// table on first use and then kept right by every change.
    virtual std::optional<std::int64_t> count(std::int64_t userId) = 0;

    /// Up to `limit` of the user's events whose row id is above `afterId`,
    /// in storing order; from the user's first row when `afterId` is absent.
    /// Row ids are SQLite's signed rowids: a file another program wrote may
    /// hold rows at zero or below, so no id can stand for "before the first".
    virtual std::optional<std::vector<EventObject>> eventsOfUser(
        std::int64_t userId, std::optional<std::int64_t> afterId, std::int64_t limit) = 0;

    /// Deletes every event of the user up to and including row id `lastId`.
    /// False unless exactly `expected` rows went.
    virtual bool deleteUpTo(std::int64_t userId, std::int64_t lastId, std::int64_t expected) = 0;

    virtual bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) = 0;

    virtual bool clear() = 0;

    /// Makes the next `count` read the table again: for a caller whose
    /// change was rolled back after this repository counted it.
    virtual void forgetCounts() = 0;

    /// How many groups of stored rows a failed commit has lost so far: a
    /// caller whose own write failed learns whether earlier stored events
    /// went with it.
    virtual std::uint64_t lostGroups() const = 0;
};

}  // namespace mvk
