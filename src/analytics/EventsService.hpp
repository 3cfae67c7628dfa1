#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "events/EventRepositoryProtocol.hpp"
#include "services/EventControllerProtocol.hpp"
#include "services/EventsServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

class EventsService final : public EventsServiceProtocol {
  public:
    EventsService(std::shared_ptr<StateManagerProtocol> stateManager,
                  std::shared_ptr<EventControllerProtocol> eventController,
                  std::shared_ptr<EventRepositoryProtocol> eventRepository);

    FullStackAction onFullStackAction() const override { return onFullStackAction_; }
    void setOnFullStackAction(FullStackAction action) override {
        onFullStackAction_ = std::move(action);
    }

    bool addEvent(const Storable& event) override;
    bool addEvent(const Storable& event, const User& user) override;
    bool addEventWith(const Storable& event, const User* user,
                      const std::function<bool()>& alongside) override;
    void removeAllEvents() override;
    void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) override;

  private:
    bool createEventForUser(const Storable& event, const User& user,
                            const std::function<bool()>* alongside);
    void isFullStack(const Project& project, const User& user);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<EventControllerProtocol> eventController_;
    const std::shared_ptr<EventRepositoryProtocol> eventRepository_;
    FullStackAction onFullStackAction_;
};

}  // namespace mvk
