#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "services/EventControllerProtocol.hpp"

namespace mvk {

/// Without the A/B feature nothing changes its state: sending stays on,
/// nothing is frozen and no marker is written.
class EventController final : public EventControllerProtocol {
  public:
    std::optional<EventProvider> eventProvider() const override { return eventProvider_; }
    void setEventProvider(std::optional<EventProvider> provider) override {
        eventProvider_ = std::move(provider);
    }

    void freezeEvent(const EventObject& event) override { freezedEventsId_ = event.idKey; }
    void clearFreezedEvent() override { freezedEventsId_.reset(); }

    void processEvent(const EventObject& eventObject) override;

    std::vector<EventObject> richEventObjects(std::vector<EventObject> events) const override;

    void setExperimentMarker(std::optional<ExperimentMarker> marker) override {
        marker_ = std::move(marker);
    }
    void stopReportSending() override { sendingStatus_ = false; }
    void startReportSending() override { sendingStatus_ = true; }
    bool isReportSendingEnable() const override { return sendingStatus_; }

  private:
    std::optional<EventProvider> eventProvider_;
    bool sendingStatus_ = true;
    std::optional<ExperimentMarker> marker_;
    std::optional<std::int64_t> freezedEventsId_;
};

}  // namespace mvk
