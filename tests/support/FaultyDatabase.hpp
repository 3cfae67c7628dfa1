#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/DatabaseProtocol.hpp"

namespace mvk::test {

/// Passes every call on to a real database, except the calls a test chose to
/// fail: by operation, table and the n-th such call. A failed call answers as
/// a failing database does (false or absent, no rows visited) but never
/// reaches the real one, so a transaction around it rolls back only when its
/// body answers false: what a test sees is whether the caller checked.
class FaultyDatabase final : public DatabaseProtocol {
  public:
    enum class Operation { query, insert, update, deleteRows, clear };

    explicit FaultyDatabase(std::shared_ptr<DatabaseProtocol> inner) : inner_(std::move(inner)) {}

    /// Fails the `nth` call (1 is the next one) of `operation` on `table`
    /// from now on, or every such call with `nth` 0.
    void fail(Operation operation, std::string_view table, int nth = 1);
    /// Fails no call from now on.
    void heal() { rules_.clear(); }

    /// How many calls were failed so far.
    int failures() const { return failures_; }

    bool queryRows(const SelectQuery& query, const RowVisitor& visitor) override;
    /// Both inserts count as `Operation::insert`.
    std::optional<std::int64_t> insert(std::string_view tableName,
                                       const ContentValues& content) override;
    std::optional<std::int64_t> insertGrouped(std::string_view tableName,
                                              const ContentValues& content) override;
    std::uint64_t lostGroups() const override { return inner_->lostGroups(); }
    std::optional<std::int64_t> update(std::string_view tableName, const ContentValues& values,
                                       std::string_view selection,
                                       const std::vector<SQLiteValue>& selectionArgs) override;
    std::optional<std::int64_t> deleteRows(std::string_view tableName, std::string_view selection,
                                           const std::vector<SQLiteValue>& selectionArgs) override;
    bool clear(std::string_view tableName) override;
    bool raw(const std::string& sql) override { return inner_->raw(sql); }
    bool transaction(const std::function<bool()>& body) override {
        return inner_->transaction(body);
    }
    void onRollback(std::function<void()> undo) override { inner_->onRollback(std::move(undo)); }

  private:
    struct Rule {
        Operation operation;
        std::string table;
        int nth;
        int seen = 0;
    };

    /// Counts the call against every matching rule; true when one says fail.
    bool failsNow(Operation operation, std::string_view table);

    std::shared_ptr<DatabaseProtocol> inner_;
    std::vector<Rule> rules_;
    int failures_ = 0;
};

}  // namespace mvk::test
