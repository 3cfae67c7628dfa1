#include "state/UserRepository.hpp"

namespace mvk {

ContentValues UserRepository::columns(const User& user) {
    return user.contentValues();
}

}  // namespace mvk
