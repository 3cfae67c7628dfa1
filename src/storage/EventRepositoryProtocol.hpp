#pragma once

#include <memory>

#include "events/EventObject.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// The stored events of every user, in the order they were stored.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class EventRepositoryProtocol : public UserDataRepositoryProtocol<std::shared_ptr<EventObject>> {};

}  // namespace mvk
