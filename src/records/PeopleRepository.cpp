#include "records/PeopleRepository.hpp"

namespace mvk {

ContentValues PeopleRepository::columns(const PeopleCard& card) {
    return card.contentValues();
}

}  // namespace mvk
