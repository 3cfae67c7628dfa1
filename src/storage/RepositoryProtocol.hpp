#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace mvk {

/// True for rows handed out as `std::shared_ptr`: the cache and the services
/// hold one object, and a service's change in place is what the next
/// `update` writes.
template <class Item>
inline constexpr bool isSharedRow = false;
template <class Row>
inline constexpr bool isSharedRow<std::shared_ptr<Row>> = true;

/// The row type behind an item.
template <class Item>
struct RepositoryRow {
    using type = Item;
};
template <class Row>
struct RepositoryRow<std::shared_ptr<Row>> {
    using type = Row;
};

/// The contract every table repository offers. `Item` is either
/// `std::shared_ptr<Row>` (rows that services change in place) or the row
/// itself (value rows: the cache keeps its own copy).
///
/// The row cache is read from the table on first use and counts as read once
/// a read succeeded, even when the table had no rows. A failed read leaves it
/// unread and answers absent, never an empty list: a caller that took a failed
/// read for "no rows" would insert a second row. Every write answers whether
/// it reached the table.
/// Repositories take no lock: they are used from one queue only.
template <class ItemType, class KeyType = std::int64_t>
class RepositoryProtocol {
  public:
    using Item = ItemType;
    using Key = KeyType;
    /// A shared row or null; a copy of a value row or nothing.
    using Found = std::conditional_t<isSharedRow<Item>, Item, std::optional<Item>>;

    virtual ~RepositoryProtocol() = default;

    /// Reads the whole table into the cache, replacing what it held. False
    /// when the table could not be read; the cache is then unread.
    virtual bool loadData() = 0;

    /// The first cached row with the given key (the row id unless the
    /// repository says otherwise), or an empty `Found` when no row has it.
    /// Absent when the table could not be read.
    virtual std::optional<Found> get(const Key& key) = 0;

    /// The cached rows, in table order followed by the rows inserted since.
    /// Absent when the table could not be read.
    virtual std::optional<std::vector<Item>> list() = 0;

    /// Stores the row, with its new row id written into `idKey` (into the
    /// cached copy for a value row), and appends it to the cache once the
    /// cache is read. Answers the new row id; on failure nothing changes.
    virtual std::optional<std::int64_t> insert(const Item& row) = 0;

    /// Writes every column of the row with the same `idKey`, and replaces the
    /// cached row with that id, if any (the cache is not read for this).
    /// False when the statement failed.
    virtual bool update(const Item& row) = 0;

    virtual bool deleteItem(const Item& row) = 0;

    /// Deletes the rows with these rows' ids, all or none. False when a
    /// statement failed; the cache is then unread, so the next access shows
    /// what the table holds.
    virtual bool deleteItems(const std::vector<Item>& rows) = 0;

    /// Empties the table and the cache. False when the statement failed; the
    /// cache is then unread.
    virtual bool clear() = 0;
};

}  // namespace mvk
