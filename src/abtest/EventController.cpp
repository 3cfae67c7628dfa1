#include "abtest/EventController.hpp"

#include <algorithm>

#include "foundation/JsonCoding.hpp"

namespace mvk {

void EventController::processEvent(const EventObject& eventObject) {
    if (!sendingStatus_ || !eventProvider_) {
        return;
    }
    // The provider may replace or clear itself while it runs; calling a copy
    // keeps the closure alive until it returns.
    const EventProvider provider = *eventProvider_;
    provider(eventObject);
}

std::vector<EventObject> EventController::richEventObjects(std::vector<EventObject> events) const {
    if (!sendingStatus_) {
        return {};
    }
    if (freezedEventsId_) {
        const auto frozen = *freezedEventsId_;
        std::erase_if(events, [frozen](const EventObject& event) { return event.idKey >= frozen; });
    }
    if (!marker_) {
        return events;
    }
    auto markers = nlohmann::ordered_json::array();
    markers.push_back(marker_->toJson());
    for (auto& event : events) {
        auto value = parseJson(event.json);
        if (!value || !value->is_object()) {
            continue;
        }
        nlohmann::ordered_json object = std::move(*value);
        object["inExperiments"] = markers;
        event.json = dumpJson(object);
    }
    return events;
}

}  // namespace mvk
