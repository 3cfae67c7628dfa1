#include "records/ReportsRepository.hpp"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <utility>

#include "storage/SqlSelection.hpp"

namespace mvk {

std::optional<std::vector<ReportKey>> ReportsRepository::keys() {
    std::uint64_t deletionsBefore = 0;
    {
        std::lock_guard lock(keysMutex_);
        if (keys_) {
            return keys_;
        }
        deletionsBefore = deletions_;
    }
    {
        std::vector<ReportKey> keys;
        const bool complete = database_->queryRows(
            {.tableName = std::string(Entry::tableName),
             .projection =
                 std::vector<std::string>{std::string(Entry::id), std::string(Entry::userId)},
             .sortOrder = std::string(Entry::id)},
            [&keys](const Cursor& cursor) {
                auto idKey = cursor.integer(0);
                auto userId = cursor.integer(1);
                if (idKey && userId) {
                    keys.push_back({*idKey, *userId});
                }
            });
        if (!complete) {
            return std::nullopt;
        }
        std::lock_guard lock(keysMutex_);
        std::erase_if(keys, [this](const ReportKey& key) { return settled_.contains(key.idKey); });
        if (deletions_ == deletionsBefore) {
            keys_ = keys;
        }
        return keys;
    }
}

std::optional<std::int64_t> ReportsRepository::insert(Report& report,
                                                      const std::function<bool()>& alongside) {
    auto content = std::move(report).intoContentValues();
    if (!content) {
        return std::nullopt;
    }
    std::optional<std::int64_t> id;
    const bool committed = database_->transaction([&] {
        id = database_->insert(Entry::tableName, *content);
        return id && alongside();
    });
    if (!committed || !id) {
        return std::nullopt;
    }
    report.idKey = *id;
    std::lock_guard lock(keysMutex_);
    if (keys_) {
        keys_->push_back({*id, report.userId});
    }
    return id;
}

ReportLookup ReportsRepository::read(std::int64_t idKey) const {
    {
        std::lock_guard lock(keysMutex_);
        if (settled_.contains(idKey)) {
            return {ReportLookup::Status::missing};
        }
    }
    std::optional<Report> found;
    bool damaged = false;
    const bool complete = database_->queryRows({.tableName = std::string(Entry::tableName),
                                                .selection = std::string(Entry::id) + " = ?",
                                                .selectionArgs = std::vector<SQLiteValue>{idKey}},
                                               [&](const Cursor& cursor) {
                                                   found = Report::fromCursor(cursor);
                                                   damaged = !found;
                                               });
    if (!complete) {
        return {ReportLookup::Status::failed};
    }
    if (damaged) {
        return {ReportLookup::Status::damaged};
    }
    if (!found) {
        return {ReportLookup::Status::missing};
    }
    return {ReportLookup::Status::found, std::move(found)};
}

bool ReportsRepository::deleteWhereIn(std::string_view column,
                                      const std::vector<std::int64_t>& values) {
    if (values.empty()) {
        return true;
    }
    const std::vector<SQLiteValue> arguments(values.begin(), values.end());
    const auto deleted = database_->deleteRows(Entry::tableName,
                                               sqlSelectionIn(column, arguments.size()), arguments);
    std::lock_guard lock(keysMutex_);
    ++deletions_;
    if (!deleted) {
        keys_.reset();
        return false;
    }
    if (keys_) {
        const std::unordered_set<std::int64_t> doomed(values.begin(), values.end());
        const bool byId = column == Entry::id;
        std::erase_if(*keys_, [&](const ReportKey& key) {
            return doomed.contains(byId ? key.idKey : key.userId);
        });
    }
    return true;
}

bool ReportsRepository::deleteItems(const std::vector<std::int64_t>& idKeys) {
    return deleteWhereIn(Entry::id, idKeys);
}

bool ReportsRepository::deleteSettled(std::int64_t idKey) {
    {
        std::lock_guard lock(keysMutex_);
        settled_.insert(idKey);
    }
    return deleteSettledLeft();
}

bool ReportsRepository::deleteSettledLeft() {
    std::vector<std::int64_t> idKeys;
    {
        std::lock_guard lock(keysMutex_);
        if (settled_.empty()) {
            return true;
        }
        idKeys.assign(settled_.begin(), settled_.end());
    }
    if (!deleteWhereIn(Entry::id, idKeys)) {
        return false;
    }
    std::lock_guard lock(keysMutex_);
    for (const auto settled : idKeys) {
        settled_.erase(settled);
    }
    return true;
}

bool ReportsRepository::deleteForDataForUsers(const std::vector<std::int64_t>& userIds) {
    return deleteWhereIn(Entry::userId, userIds);
}

bool ReportsRepository::clear() {
    const bool cleared = database_->clear(Entry::tableName);
    std::lock_guard lock(keysMutex_);
    ++deletions_;
    if (cleared) {
        keys_.emplace();
        settled_.clear();
    } else {
        keys_.reset();
    }
    return cleared;
}

}  // namespace mvk
