#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "records/ExperimentMarker.hpp"
#include "events/EventObject.hpp"

namespace mvk {

/// The gate between stored events and reports: whether reports may be built
/// at all, up to which stored event while an A/B offer is pending, and which
/// experiment marker goes into every event that leaves. Shared by the event
/// storage, the report service and the A/B logic; used on the income queue
/// only.
class EventControllerProtocol {
  public:
    using EventProvider = std::function<void(const EventObject&)>;

    virtual ~EventControllerProtocol() = default;

    /// The A/B search hook, called with each newly stored event while
    /// sending is on.
    virtual std::optional<EventProvider> eventProvider() const = 0;
    virtual void setEventProvider(std::optional<EventProvider> provider) = 0;

    /// Only events stored before `event` may leave until the freeze is cleared.
    virtual void freezeEvent(const EventObject& event) = 0;
    virtual void clearFreezedEvent() = 0;

    virtual void processEvent(const EventObject& eventObject) = 0;

    /// The leading events of one user's stored events (in storing order) that
    /// may leave now, with the experiment marker written into their JSON.
    virtual std::vector<EventObject> richEventObjects(std::vector<EventObject> events) const = 0;

    virtual void setExperimentMarker(std::optional<ExperimentMarker> marker) = 0;
    virtual void stopReportSending() = 0;
    virtual void startReportSending() = 0;
    virtual bool isReportSendingEnable() const = 0;
};

}  // namespace mvk
