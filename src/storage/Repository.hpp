#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "storage/DatabaseProtocol.hpp"
#include "storage/DeleteRowsIn.hpp"
#include "storage/RepositoryProtocol.hpp"
#include "storage/SQLiteConvertible.hpp"

namespace mvk {

/// The mechanics shared by every table repository: the lazily read row cache,
/// row ids written back on insert, update by id, delete by ids and clear.
///
/// `Derived` names its table and columns:
///   using Entry = SQLiteContracts::...Entry;          // tableName (and userId)
///   static ContentValues columns(const Row&);         // every column but the id
/// and may look rows up by something else than the row id:
///   static bool matchesKey(const Row&, const Key&);
template <class Derived, class Protocol>
class Repository : public Protocol {
  public:
    using Item = typename Protocol::Item;
    using Key = typename Protocol::Key;
    using Found = typename Protocol::Found;
    using Row = typename RepositoryRow<Item>::type;

    /// SQLite refuses statements with more variables than its limit (999 in
    /// older builds), so long id lists are deleted in statements of this many
    /// ids, all inside one transaction.
    static constexpr std::size_t maxIdsPerStatement = 500;

    explicit Repository(std::shared_ptr<DatabaseProtocol> database)
        : database_(std::move(database)) {}

    bool loadData() override {
        auto rows = query<Row>(*database_, {.tableName = std::string(Derived::Entry::tableName)});
        cache_.clear();
        loaded_ = rows.has_value();
        if (!rows) {
            return false;
        }
        cache_.reserve(rows->size());
        for (auto& row : *rows) {
            if constexpr (isSharedRow<Item>) {
                cache_.push_back(std::make_shared<Row>(std::move(row)));
            } else {
                cache_.push_back(std::move(row));
            }
        }
        return true;
    }

    std::optional<Found> get(const Key& key) override {
        if (!loadIfUnread()) {
            return std::nullopt;
        }
        for (const auto& item : cache_) {
            if (hasKey(rowOf(item), key)) {
                return Found{item};
            }
        }
        return Found{};
    }

    std::optional<std::vector<Item>> list() override {
        if (!loadIfUnread()) {
            return std::nullopt;
        }
        return cache_;
    }

    std::optional<std::int64_t> insert(const Item& item) override {
        if (isNull(item)) {
            return std::nullopt;
        }
        // Read first, so that rows already stored are not hidden behind the
        // new one; a cache that stays unread takes the row at its next read.
        loadIfUnread();
        auto id = database_->insert(Derived::Entry::tableName, Derived::columns(rowOf(item)));
        if (!id) {
            return std::nullopt;
        }
        forgetIfRolledBack();
        if constexpr (isSharedRow<Item>) {
            item->idKey = *id;
            if (loaded_) {
                cache_.push_back(item);
            }
        } else if (loaded_) {
            auto& stored = cache_.emplace_back(item);
            stored.idKey = *id;
        }
        return id;
    }

    /// A row that is not in the table (never stored, or deleted) is a failed
    /// update: what the caller changed is not stored.
    bool update(const Item& item) override {
        if (isNull(item)) {
            return false;
        }
        const auto id = rowOf(item).idKey;
        auto cached = std::find_if(cache_.begin(), cache_.end(),
                                   [id](const Item& other) { return rowOf(other).idKey == id; });
        if (cached != cache_.end()) {
            *cached = item;
            forgetIfRolledBack();
        }
        const auto changed =
            database_->update(Derived::Entry::tableName, Derived::columns(rowOf(item)),
                              std::string(Derived::Entry::id) + "=?", {id});
        return changed && *changed > 0;
    }

    bool deleteItem(const Item& item) override { return deleteItems({item}); }

    bool deleteItems(const std::vector<Item>& items) override {
        std::vector<std::int64_t> ids;
        ids.reserve(items.size());
        for (const auto& item : items) {
            if (!isNull(item)) {
                ids.push_back(rowOf(item).idKey);
            }
        }
        return deleteWhereIn(Derived::Entry::id, ids, [](const Row& row) { return row.idKey; });
    }

    bool clear() override {
        cache_.clear();
        forgetIfRolledBack();
        // An emptied table is a read one; after a failure only a read tells
        // what is left.
        loaded_ = database_->clear(Derived::Entry::tableName);
        return loaded_;
    }

  protected:
    /// Drops the cached rows whose `field` is among `values`, then deletes the
    /// table rows whose `column` is, all or none. After a failure the cache
    /// is unread, so the next access shows the rows that are still there.
    template <class Field>
    bool deleteWhereIn(std::string_view column, const std::vector<std::int64_t>& values,
                       Field field) {
        if (values.empty()) {
            return true;
        }
        const std::unordered_set<std::int64_t> doomed(values.begin(), values.end());
        std::erase_if(cache_,
                      [&](const Item& item) { return doomed.contains(field(rowOf(item))); });
        forgetIfRolledBack();
        const bool deleted =
            deleteRowsIn(*database_, Derived::Entry::tableName, column, values, maxIdsPerStatement);
        if (!deleted) {
            cache_.clear();
            loaded_ = false;
        }
        return deleted;
    }

  private:
    static const Row& rowOf(const Item& item) {
        if constexpr (isSharedRow<Item>) {
            return *item;
        } else {
            return item;
        }
    }

    static bool isNull(const Item& item) {
        if constexpr (isSharedRow<Item>) {
            return item == nullptr;
        } else {
            return false;
        }
    }

    static bool hasKey(const Row& row, const Key& key) {
        if constexpr (requires { Derived::matchesKey(row, key); }) {
            return Derived::matchesKey(row, key);
        } else {
            return row.idKey == key;
        }
    }

    /// False when the cache is unread and reading it failed.
    bool loadIfUnread() { return loaded_ || loadData(); }

    /// A change made inside a caller's transaction is undone with it; the
    /// cache then reads the table again rather than guess what was undone.
    /// The undo runs before that transaction answers, while the caller still
    /// holds this repository.
    void forgetIfRolledBack() {
        database_->onRollback([this] {
            cache_.clear();
            loaded_ = false;
        });
    }

    std::shared_ptr<DatabaseProtocol> database_;
    std::vector<Item> cache_;
    bool loaded_ = false;
};

}  // namespace mvk
