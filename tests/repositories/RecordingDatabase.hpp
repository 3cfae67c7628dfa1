#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/DatabaseProtocol.hpp"

namespace mvk::test {

/// Passes every call on to a real database and records what the repositories
/// asked for: how often they read, which deletes they issued and whether those
/// ran inside a transaction. Inserts can be made to fail.
class RecordingDatabase final : public DatabaseProtocol {
  public:
    struct Delete {
        std::string table;
        std::string selection;
        std::vector<SQLiteValue> arguments;
        bool inTransaction;
    };

    explicit RecordingDatabase(std::shared_ptr<DatabaseProtocol> inner)
        : inner_(std::move(inner)) {}

    int queries = 0;
    int transactions = 0;
    std::vector<Delete> deletes;
    bool failInserts = false;

    bool queryRows(const SelectQuery& query, const RowVisitor& visitor) override {
        ++queries;
        return inner_->queryRows(query, visitor);
    }
    std::optional<std::int64_t> insert(std::string_view table,
                                       const ContentValues& content) override {
        return failInserts ? std::nullopt : inner_->insert(table, content);
    }
    std::optional<std::int64_t> insertGrouped(std::string_view table,
                                              const ContentValues& content) override {
        return failInserts ? std::nullopt : inner_->insertGrouped(table, content);
    }
    std::uint64_t lostGroups() const override { return inner_->lostGroups(); }
    std::optional<std::int64_t> update(std::string_view table, const ContentValues& values,
                                       std::string_view selection,
                                       const std::vector<SQLiteValue>& arguments) override {
        return inner_->update(table, values, selection, arguments);
    }
    std::optional<std::int64_t> deleteRows(std::string_view table, std::string_view selection,
                                           const std::vector<SQLiteValue>& arguments) override {
        deletes.push_back({std::string(table), std::string(selection), arguments, depth_ > 0});
        return inner_->deleteRows(table, selection, arguments);
    }
    bool clear(std::string_view table) override { return inner_->clear(table); }
    bool raw(const std::string& sql) override { return inner_->raw(sql); }
    bool transaction(const std::function<bool()>& body) override {
        ++transactions;
        return inner_->transaction([&] {
            ++depth_;
            const bool commit = body();
            --depth_;
            return commit;
        });
    }
    void onRollback(std::function<void()> undo) override { inner_->onRollback(std::move(undo)); }

  private:
    std::shared_ptr<DatabaseProtocol> inner_;
    int depth_ = 0;
};

}  // namespace mvk::test
