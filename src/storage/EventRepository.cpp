#include "storage/EventRepository.hpp"

namespace mvk {

ContentValues EventRepository::columns(const EventObject& event) {
    return {
        {std::string(Entry::code), event.code},
        {std::string(Entry::userId), event.userId},
        {std::string(Entry::eventJson), event.json},
    };
}

}  // namespace mvk
