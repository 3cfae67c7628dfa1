#pragma once

#include <memory>

#include "records/MessagingProtocol.hpp"
#include "services/EventsServiceProtocol.hpp"
#include "services/MessagingServiceProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "state/ActivityServiceProtocol.hpp"

namespace mvk {

/// Turns push tokens and opened pushes into events that are sent at once,
/// and hands category requests to the messaging service. On the income queue.
class MessagingLogic final : public MessagingProtocol {
  public:
    explicit MessagingLogic(ServiceFactoryProtocol& serviceFactory);

    void pushToken(const std::string& token, bool isAllowed) override;
    void pushOpened(std::int64_t timestamp, std::int64_t pushId,
                    const std::optional<std::string>& button) override;
    void getPushCategories(CategoriesCompletion completion) override;

  private:
    const std::shared_ptr<ActivityServiceProtocol> activityService_;
    const std::shared_ptr<ReportServiceProtocol> reportService_;
    const std::shared_ptr<EventsServiceProtocol> eventsService_;
    const std::shared_ptr<MessagingServiceProtocol> messagingService_;
};

}  // namespace mvk
