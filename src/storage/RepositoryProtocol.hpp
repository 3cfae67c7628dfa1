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
/// The row cache is read from the table on first use; an empty cache means
/// "not read yet", so a table without rows is read again at every access.
/// Repositories take no lock: they are used from one queue only.
template <class ItemType, class KeyType = std::int64_t>
class RepositoryProtocol {
  public:
    using Item = ItemType;
    using Key = KeyType;
    /// A shared row or null; a copy of a value row or nothing.
    using Found = std::conditional_t<isSharedRow<Item>, Item, std::optional<Item>>;

    virtual ~RepositoryProtocol() = default;

    /// Reads the whole table into the cache, replacing what it held.
    virtual void loadData() = 0;

    /// The first cached row with the given key (the row id unless the
    /// repository says otherwise).
    virtual Found get(const Key& key) = 0;

    /// The cached rows, in table order followed by the rows inserted since.
    virtual std::vector<Item> list() = 0;

    /// Stores the row and appends it to the cache, with its new row id written
    /// into `idKey` (into the cached copy for a value row). Answers the new row
    /// id; on failure nothing changes.
    virtual std::optional<std::int64_t> insert(const Item& row) = 0;

    /// Writes every column of the row with the same `idKey`, and replaces the
    /// cached row with that id, if any (the cache is not read for this).
    virtual void update(const Item& row) = 0;

    virtual void deleteItem(const Item& row) = 0;

    /// Deletes the rows with these rows' ids. The cache drops them first, so
    /// after a failed statement the cache shows what was asked for.
    virtual void deleteItems(const std::vector<Item>& rows) = 0;

    /// Empties the cache, then the table.
    virtual void clear() = 0;
};

}  // namespace mvk
