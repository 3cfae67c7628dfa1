#include "events/EventRepository.hpp"

#include <algorithm>
#include <string>

#include "storage/SQLiteConvertible.hpp"
#include "storage/SqlSelection.hpp"

namespace mvk {

std::optional<std::int64_t> EventRepository::insert(EventObject& event) {
    // Grouped: an event row is in no cache and no id of it is kept, and the
    // count below is read again after a lost group.
    auto id =
        database_->insertGrouped(Entry::tableName, {
                                                       {std::string(Entry::code), event.code},
                                                       {std::string(Entry::userId), event.userId},
                                                       {std::string(Entry::eventJson), event.json},
                                                   });
    if (!id) {
        return std::nullopt;
    }
    event.idKey = *id;
    if (counts_) {
        ++(*counts_)[event.userId];
        database_->onRollback([this] { counts_.reset(); });
    }
    return id;
}

std::optional<std::int64_t> EventRepository::insert(EventObject& event,
                                                    const std::function<bool()>& alongside) {
    const auto idBefore = event.idKey;
    std::optional<std::int64_t> id;
    const bool committed = database_->transaction([&] {
        id = insert(event);
        return id && alongside();
    });
    if (!committed) {
        event.idKey = idBefore;
        return std::nullopt;
    }
    return id;
}

bool EventRepository::loadCounts() {
    // Taken before the read: a group lost while it runs reads the counts again.
    const auto lostGroups = database_->lostGroups();
    std::unordered_map<std::int64_t, std::int64_t> counts;
    const bool complete = database_->queryRows(
        {.tableName = std::string(Entry::tableName),
         .projection = std::vector<std::string>{std::string(Entry::userId), "count(*)"},
         .groupBy = std::string(Entry::userId)},
        [&counts](const Cursor& cursor) {
            auto userId = cursor.integer(0);
            auto count = cursor.integer(1);
            if (userId && count) {
                counts[*userId] = *count;
            }
        });
    if (!complete) {
        return false;
    }
    counts_ = std::move(counts);
    countsLostGroups_ = lostGroups;
    return true;
}

std::optional<std::int64_t> EventRepository::count(std::int64_t userId) {
    if (counts_ && database_->lostGroups() != countsLostGroups_) {
        counts_.reset();
    }
    if (!counts_ && !loadCounts()) {
        return std::nullopt;
    }
    const auto found = counts_->find(userId);
    return found != counts_->end() ? found->second : 0;
}

std::optional<std::vector<EventObject>> EventRepository::eventsOfUser(
    std::int64_t userId, std::optional<std::int64_t> afterId, std::int64_t limit) {
    SelectQuery query{.tableName = std::string(Entry::tableName),
                      .selection = std::string(Entry::userId) + " = ?",
                      .selectionArgs = std::vector<SQLiteValue>{userId},
                      .sortOrder = std::string(Entry::id),
                      .limit = limit};
    if (afterId) {
        *query.selection += " AND " + std::string(Entry::id) + " > ?";
        query.selectionArgs->emplace_back(*afterId);
    }
    std::vector<EventObject> events;
    const bool complete = database_->queryRows(query, [&events, userId](const Cursor& cursor) {
        // A row with a NULL code or text is handed on all the same: the
        // packing names it in a line, leaves it out of the report and
        // deletes it with its neighbours; skipping it here would leave it
        // behind every packing for good.
        if (auto idKey = cursor.integer(0)) {
            events.emplace_back(cursor.text(1).value_or(""), *idKey, userId,
                                cursor.text(3).value_or(""));
        }
    });
    if (!complete) {
        return std::nullopt;
    }
    return events;
}

bool EventRepository::deleteUpTo(std::int64_t userId, std::int64_t lastId, std::int64_t expected) {
    const auto deleted = database_->deleteRows(
        Entry::tableName,
        std::string(Entry::userId) + " = ? AND " + std::string(Entry::id) + " <= ?",
        {userId, lastId});
    if (!deleted || *deleted != expected) {
        // Either the statement failed or the table held other rows than the
        // caller saw; in both cases the count is no longer known.
        counts_.reset();
        return false;
    }
    if (counts_) {
        auto& count = (*counts_)[userId];
        count = count > *deleted ? count - *deleted : 0;
    }
    return true;
}

bool EventRepository::deleteForDataForUsers(const std::vector<std::int64_t>& userIds) {
    if (userIds.empty()) {
        return true;
    }
    const std::vector<SQLiteValue> arguments(userIds.begin(), userIds.end());
    const auto deleted = database_->deleteRows(
        Entry::tableName, sqlSelectionIn(Entry::userId, arguments.size()), arguments);
    if (!deleted) {
        counts_.reset();
        return false;
    }
    if (counts_) {
        for (const auto userId : userIds) {
            counts_->erase(userId);
        }
    }
    return true;
}

bool EventRepository::clear() {
    const bool cleared = database_->clear(Entry::tableName);
    if (cleared) {
        counts_.emplace();
    } else {
        counts_.reset();
    }
    return cleared;
}

}  // namespace mvk
