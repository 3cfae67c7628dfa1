#include "support/FaultyDatabase.hpp"

namespace mvk::test {

void FaultyDatabase::fail(Operation operation, std::string_view table, int nth) {
    rules_.push_back({operation, std::string(table), nth});
}

bool FaultyDatabase::failsNow(Operation operation, std::string_view table) {
    bool fails = false;
    for (auto& rule : rules_) {
        if (rule.operation == operation && rule.table == table) {
            ++rule.seen;
            fails = fails || rule.nth == 0 || rule.seen == rule.nth;
        }
    }
    failures_ += fails ? 1 : 0;
    return fails;
}

bool FaultyDatabase::queryRows(const SelectQuery& query, const RowVisitor& visitor) {
    return !failsNow(Operation::query, query.tableName) && inner_->queryRows(query, visitor);
}

std::optional<std::int64_t> FaultyDatabase::insert(std::string_view tableName,
                                                   const ContentValues& content) {
    if (failsNow(Operation::insert, tableName)) {
        return std::nullopt;
    }
    return inner_->insert(tableName, content);
}

std::optional<std::int64_t> FaultyDatabase::insertGrouped(std::string_view tableName,
                                                          const ContentValues& content) {
    if (failsNow(Operation::insert, tableName)) {
        return std::nullopt;
    }
    return inner_->insertGrouped(tableName, content);
}

std::optional<std::int64_t> FaultyDatabase::update(std::string_view tableName,
                                                   const ContentValues& values,
                                                   std::string_view selection,
                                                   const std::vector<SQLiteValue>& selectionArgs) {
    if (failsNow(Operation::update, tableName)) {
        return std::nullopt;
    }
    return inner_->update(tableName, values, selection, selectionArgs);
}

std::optional<std::int64_t> FaultyDatabase::deleteRows(
    std::string_view tableName, std::string_view selection,
    const std::vector<SQLiteValue>& selectionArgs) {
    if (failsNow(Operation::deleteRows, tableName)) {
        return std::nullopt;
    }
    return inner_->deleteRows(tableName, selection, selectionArgs);
}

bool FaultyDatabase::clear(std::string_view tableName) {
    return !failsNow(Operation::clear, tableName) && inner_->clear(tableName);
}

}  // namespace mvk::test
