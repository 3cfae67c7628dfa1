#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "state/User.hpp"
#include "events/Storable.hpp"

namespace mvk {

/// Packs stored events into reports and gets them to the gateway; the one
/// way for any logic to ask for a send. Called on the income queue.
class ReportServiceProtocol {
  public:
    using ReportSendAction = std::function<void()>;

    virtual ~ReportServiceProtocol() = default;

    /// Called on the network queue after each report the gateway accepted.
    virtual ReportSendAction onReportSendAction() const = 0;
    virtual void setOnReportSendAction(ReportSendAction action) = 0;

    /// Sends one event at once, unstored, on its own queue.
    virtual void sendFlashEvent(const Storable& event) = 0;
    /// Packs the waiting events into stored reports, then sends the stored
    /// reports.
    virtual void sendBufferedEvents() = 0;
    virtual void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;
    virtual void removeAllReports() = 0;
};

}  // namespace mvk
