#pragma once

#include "storage/EventRepositoryProtocol.hpp"
#include "storage/SQLiteContracts.hpp"
#include "storage/UserDataRepository.hpp"

namespace mvk {

class EventRepository final : public UserDataRepository<EventRepository, EventRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::EventEntry;
    using UserDataRepository::UserDataRepository;

    static ContentValues columns(const EventObject& event);
};

}  // namespace mvk
