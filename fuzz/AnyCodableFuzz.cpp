// JSON text into the library's dynamic value: whatever parses must write
// itself out again and read back as an equal value.
#include "FuzzInput.hpp"
#include "foundation/AnyCodable.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/StringExtensions.hpp"

using namespace mvk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = fuzz::textOf(data, size);
    auto value = AnyCodable::parse(text);
    if (value) {
        auto written = toJSONData(*value);
        fuzz::require(written.has_value(), "a parsed value writes");
        auto again = AnyCodable::parse(*written);
        fuzz::require(again.has_value(), "a written value parses");
        fuzz::require(*again == *value, "a written value reads back equal");
        fuzz::require(again->hash() == value->hash(), "equal values hash alike");
    }
    (void)stringToDictionary(text);
    return 0;
}
