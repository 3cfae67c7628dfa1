// The engine SDK's saved file, read as the one-time import reads it.
#include "FuzzInput.hpp"
#include "foundation/JsonCoding.hpp"
#include "state/MigrationObject.hpp"

using namespace mvk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (auto object = decodeJson<MigrationObject>(fuzz::textOf(data, size))) {
        (void)object->description();
    }
    return 0;
}
