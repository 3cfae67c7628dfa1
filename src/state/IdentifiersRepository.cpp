#include "state/IdentifiersRepository.hpp"

namespace mvk {

ContentValues IdentifiersRepository::columns(const DeviceIdentifiers& identifiers) {
    return identifiers.contentValues();
}

}  // namespace mvk
