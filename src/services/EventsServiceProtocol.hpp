#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "events/Storable.hpp"
#include "state/User.hpp"

namespace mvk {

/// The one door through which an analytics event becomes a stored row. Used
/// on the income queue only; nothing here is queued.
class EventsServiceProtocol {
  public:
    using FullStackAction = std::function<void()>;

    virtual ~EventsServiceProtocol() = default;

    /// Called, inline, when a user's stored events reach the report size,
    /// and again on every further event of that user while they stay stored.
    virtual FullStackAction onFullStackAction() const = 0;
    virtual void setOnFullStackAction(FullStackAction action) = 0;

    /// Stores the event for the active user. False only when the event was to
    /// be stored and its row could not be written; one that tracking or the
    /// configuration leaves out on purpose answers true.
    virtual bool addEvent(const Storable& event) = 0;
    virtual bool addEvent(const Storable& event, const User& user) = 0;
    /// Stores the event for `user` (the active one when null) and runs
    /// `alongside`, the change the stored event allows (a mark, a deletion),
    /// as one unit: true when both are committed, false when neither is.
    /// Nothing acts on the event before that commit. An event left out on
    /// purpose leaves `alongside` to run by itself.
    virtual bool addEventWith(const Storable& event, const User* user,
                              const std::function<bool()>& alongside) = 0;

    virtual void removeAllEvents() = 0;
    virtual void removeInactiveUserData(const std::vector<std::shared_ptr<User>>& users) = 0;
};

}  // namespace mvk
