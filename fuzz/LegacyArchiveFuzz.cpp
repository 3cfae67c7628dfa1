// The earlier native SDK's archive file, read as the one-time import reads
// it: the structure scan, the plist library behind it, the keyed-archive
// references, and the users, preferences and purchases inside.
#include "FuzzInput.hpp"
#include "state/LegacyKeyedArchive.hpp"
#include "state/LegacyPlistScan.hpp"
#include "state/MigrationObject.hpp"
#include "state/UsersStoragesMigration.hpp"

using namespace mvk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = fuzz::textOf(data, size);
    const bool safe = LegacyPlistScan::isSafeToLoad(bytes);
    auto archive = LegacyKeyedArchive::fromBytes(bytes);
    fuzz::require(!archive || safe, "only a file the scan passed is loaded");
    if (!archive) {
        return 0;
    }
    if (auto storages = UsersStoragesMigration::fromArchive(*archive)) {
        (void)MigrationObject::fromNativeArchive(*storages);
    }
    return 0;
}
