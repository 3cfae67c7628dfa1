#include "foundation/JsonSaxBounds.hpp"

#include "foundation/AnyCodable.hpp"

namespace mvk {

bool JsonSaxBounds::binary(nlohmann::json::binary_t&) {
    fail("binary values are not JSON");
    return false;
}

bool JsonSaxBounds::parse_error(std::size_t, const std::string&,
                                const nlohmann::detail::exception& ex) {
    fail(ex.what());
    return false;
}

bool JsonSaxBounds::counted() {
    if (++values_ > AnyCodable::maxValues) {
        fail("more than " + std::to_string(AnyCodable::maxValues) + " values");
        return false;
    }
    return true;
}

bool JsonSaxBounds::canOpen(std::size_t depth) {
    return canOpen(depth, AnyCodable::maxDepth);
}

bool JsonSaxBounds::canOpen(std::size_t depth, std::size_t maxDepth) {
    if (depth >= maxDepth) {
        fail("nesting deeper than " + std::to_string(maxDepth) + " levels");
        return false;
    }
    return true;
}

}  // namespace mvk
