#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// One row per owner (a user's card, a project's subscription state) over a
/// repository whose rows are shared with the callers and changed in place.
///
/// A row whose insert failed stays the owner's row in memory, with every
/// change made to it since, and the next `save` tries the insert again;
/// dropping it would lose those changes and reset its flags.
///
/// Every read of the table goes through `stored`: when it cannot read, no
/// insert is tried, so an owner never ends up with a second row.
template <class Row>
class OwnedRows {
  public:
    using Repository = RepositoryProtocol<std::shared_ptr<Row>>;

    /// `owner` names the row's owner field.
    OwnedRows(std::shared_ptr<Repository> repository, std::int64_t Row::*owner)
        : repository_(std::move(repository)), owner_(owner) {}

    /// The owner's stored row; else the one kept since its insert failed;
    /// else a new row, inserted at once.
    std::shared_ptr<Row> rowOf(std::int64_t owner) {
        const auto found = stored(owner);
        if (found && *found) {
            return *found;
        }
        auto& slot = unsaved_[owner];
        if (slot) {
            return slot;
        }
        slot = std::make_shared<Row>(owner);
        auto row = slot;
        if (found) {
            insert(row);
        }
        return row;
    }

    /// Writes every column of the row, inserting it when it is not stored
    /// yet. False when the row did not reach the table: a caller that reports
    /// the change as done would tell the player something the file does not hold.
    bool save(const std::shared_ptr<Row>& row) {
        if (row->idKey >= 0) {
            return repository_->update(row);
        }
        const auto found = stored((*row).*owner_);
        return found && !*found && insert(row);
    }

    /// The owners' rows are gone from the table; forget the unsaved ones too.
    void forget(const std::vector<std::int64_t>& owners) {
        for (auto owner : owners) {
            unsaved_.erase(owner);
        }
    }

  private:
    /// The owner's row in the table (null when it has none), or nothing when
    /// the table cannot be read.
    std::optional<std::shared_ptr<Row>> stored(std::int64_t owner) {
        const auto rows = repository_->list();
        if (!rows) {
            return std::nullopt;
        }
        for (const auto& row : *rows) {
            if ((*row).*owner_ == owner) {
                return row;
            }
        }
        return std::shared_ptr<Row>();
    }

    bool insert(const std::shared_ptr<Row>& row) {
        if (!repository_->insert(row)) {
            return false;
        }
        unsaved_.erase((*row).*owner_);
        return true;
    }

    const std::shared_ptr<Repository> repository_;
    std::int64_t Row::*const owner_;
    std::map<std::int64_t, std::shared_ptr<Row>> unsaved_;
};

}  // namespace mvk
