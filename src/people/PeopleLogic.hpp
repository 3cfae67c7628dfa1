#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "people/PeopleLogicProtocol.hpp"
#include "services/EventsServiceProtocol.hpp"
#include "services/PeopleServiceProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "state/ActivityServiceProtocol.hpp"
#include "state/ProjectServiceProtocol.hpp"
#include "state/UserServiceProtocol.hpp"

namespace mvk {

/// What a user-card call means: the "cheater" and "tester" flags are events,
/// never card properties; every other key goes to the card, and a card with
/// more custom keys than the configuration allows is sent whole and emptied
/// of them. Runs on the income queue only.
class PeopleLogic final : public PeopleLogicProtocol {
  public:
    explicit PeopleLogic(ServiceFactoryProtocol& serviceFactory);

    void setValue(const std::string& key, const PeopleValueType& value) override;
    void getValue(const std::string& key, const ValueCompletion& completion) override;
    void increment(const std::string& key, const PeopleValueType& value) override;
    void unset(std::vector<std::string> properties) override;
    void clearUser() override;

  private:
    struct MarkContext {
        std::int64_t sessionId;
        std::int64_t level;
    };
    /// The active user's session and level, or nothing (logged) without a session.
    std::optional<MarkContext> markContext(std::string_view mark);
    /// Past the configured number of custom keys, the full card is reported
    /// and its custom keys cleared. Checked after every change that may add
    /// keys, so that no run of calls grows a card (and the event that
    /// reports it) past what one call may add.
    void applyCustomKeysLimit();
    void generateCheaterEvent(bool cheater);
    void generateTesterEvent(bool tester);

    const std::shared_ptr<ActivityServiceProtocol> activityService_;
    const std::shared_ptr<UserServiceProtocol> userService_;
    const std::shared_ptr<PeopleServiceProtocol> peopleService_;
    const std::shared_ptr<EventsServiceProtocol> eventsService_;
    const std::shared_ptr<ReportServiceProtocol> reportService_;
    const std::shared_ptr<ProjectServiceProtocol> projectService_;
};

}  // namespace mvk
