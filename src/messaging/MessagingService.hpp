#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "backend/BackendProtocol.hpp"
#include "platform/SerialQueue.hpp"
#include "records/MessagingCategoryRepositoryProtocol.hpp"
#include "records/MessagingConfig.hpp"
#include "services/MessagingServiceProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// The push categories: read from the table on the income queue, asked of
/// the gateway on the messaging queue, and written back on the income queue.
/// Only values cross between the queues: the request block never touches the
/// state manager or a repository.
class MessagingService final : public MessagingServiceProtocol,
                               public std::enable_shared_from_this<MessagingService> {
  public:
    MessagingService(
        std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
        std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository,
        std::shared_ptr<BackendProtocol> backend, SerialQueue& incomeQueue,
        SerialQueue& messagingQueue);

    void getPushCategories(MessagingProtocol::CategoriesCompletion completion) override;
    void stop() override;

  private:
    /// Absent when the table cannot be read.
    std::optional<std::vector<MessagingCategory>> loadStoredCategoties();
    /// On the messaging queue: queues the writes the answer calls for and
    /// answers the categories the host keeps, stored ones first.
    std::vector<MessagingCategory> updateSavedConfig(
        const MessagingConfig& config, const std::vector<MessagingCategory>& currentCategories);
    void saveCategories(const std::vector<MessagingCategory>& categories);
    /// Deletes every stored row with one of these ids.
    void removeCategories(const std::unordered_set<std::string>& ids);
    void updateProject(std::int64_t version);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository_;
    const std::shared_ptr<BackendProtocol> backend_;
    SerialQueue& incomeQueue_;
    SerialQueue& messagingQueue_;
    std::atomic<bool> stopped_{false};
};

}  // namespace mvk
