#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "events/EventRepositoryProtocol.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

class EventRepository final : public EventRepositoryProtocol {
  public:
    using Entry = SQLiteContracts::EventEntry;

    explicit EventRepository(std::shared_ptr<DatabaseProtocol> database)
        : database_(std::move(database)) {}

    std::optional<std::int64_t> insert(EventObject& event) override;
    std::optional<std::int64_t> insert(EventObject& event,
                                       const std::function<bool()>& alongside) override;
    std::optional<std::int64_t> count(std::int64_t userId) override;
    std::optional<std::vector<EventObject>> eventsOfUser(std::int64_t userId,
                                                         std::optional<std::int64_t> afterId,
                                                         std::int64_t limit) override;
    bool deleteUpTo(std::int64_t userId, std::int64_t lastId, std::int64_t expected) override;
    bool deleteForDataForUsers(const std::vector<std::int64_t>& userIds) override;
    bool clear() override;
    void forgetCounts() override { counts_.reset(); }
    std::uint64_t lostGroups() const override { return database_->lostGroups(); }

  private:
    bool loadCounts();

    std::shared_ptr<DatabaseProtocol> database_;
    /// Stored events per user row id; absent until read, or after a change
    /// whose outcome is not known.
    std::optional<std::unordered_map<std::int64_t, std::int64_t>> counts_;
    /// The database's `lostGroups` when the counts were read.
    std::uint64_t countsLostGroups_ = 0;
};

}  // namespace mvk
